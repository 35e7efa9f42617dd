#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/cli/command_line.h"
#include "core/cli/run_command.h"
#include "core/download/download_all.h"
#include "core/http/http_client.h"
#include "core/sitelist/site_record.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace vel::test {
namespace {

// Everything written to a stream.
std::string contents(std::FILE* stream)
{
    std::string text;
    std::rewind(stream);
    for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream))
        text += static_cast<char>(c);
    return text;
}

TEST(RunCommandTest, ExitStatusSaysWhetherEverythingWasFetched)
{
    HttpTestServer server;
    server.route("/a/", page("text/html", "<img src=\"1.gif\"><img src=\"1.jpg\">"));
    server.route("/a/1.gif", ok("GIF"));
    server.route("/a/1.jpg", ok("JPG"));
    TempDir start;
    TempDir settings;
    fs::create_directory(settings.file("down"));
    writeBytes(settings.file("config.lis"), "jpg\r\ngif\r\n");
    const auto siteList = [&](std::string_view second) {
        writeBytes(settings.file("config.bin"),
                   encodeSiteRecords({{1, "A", server.url("/a/")}, {2, "B", server.url(second)}}));
    };
    const std::string dir = settings.path().string();
    using Args = std::vector<std::string_view>;
    struct Case {
        Args args;
        std::string_view secondSite;
        int status;
        std::string out;  // the start of what is printed
    };
    const Case cases[] = {
        {{"--patrol", "--settings", dir},
         "/a/",
         0,
         "1/2 A: 新しいファイル1個を保存しました\n2/2 B: 新しいファイルはありません\n"
         "巡回が終了しました（新しいファイル1個）\n"},
        {{"--patrol", "--settings", dir},
         "/a/",
         0,
         "1/2 A: 新しいファイルはありません\n2/2 B: "
         "新しいファイルはありません\n巡回が終了しました\n"},
        {{"--patrol", "--extension", "gif", "--settings", dir},
         "/missing/",
         1,
         "1/2 A: 新しいファイル1個を保存しました\n2/2 B: 利用できません\n"
         "巡回が終了しました（新しいファイル1個、失敗1個）\n"},
        {{"--patrol"}, "/a/", 1, ""},  // no site list where it starts
        {{"--patrol", "--settings", dir, "http://example.com/"}, "/a/", 2, ""},
        {{"--bogus"}, "/a/", 2, ""},
        {{"--version"}, "/a/", 0, "vel 1.0\n"},
        {{"--help"}, "/a/", 0, "Usage: vel [URL] | --patrol"},
    };
    HttpClient client;
    CurlDownloader downloader;
    for (const Case& c : cases) {
        siteList(c.secondSite);
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        CommandContext context;
        context.startFolder = start.path();
        context.client = &client;
        context.downloader = &downloader;
        context.out = out;
        context.err = err;
        context.dateFolder = "20260102";
        const int status = runCommand(parseCommandLine(c.args), context);
        const std::string printed = contents(out);
        EXPECT_EQ(status, c.status) << c.args.front() << " " << printed << contents(err);
        EXPECT_EQ(printed.substr(0, c.out.size()), c.out) << c.args.front();
        EXPECT_EQ(contents(err).empty(), !c.out.empty()) << c.args.front();  // one or the other
        std::fclose(out);
        std::fclose(err);
    }
    EXPECT_EQ(readBytes(settings.file("down") / "20260102" / "A" / "1.jpg"), "JPG");
    EXPECT_EQ(readBytes(settings.file("down") / "20260102" / "A" / "1.gif"), "GIF");
}

}  // namespace
}  // namespace vel::test
