#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/download/browser_cookies.h"
#include "core/download/download_all.h"
#include "core/download/download_folder.h"
#include "core/download/download_plan.h"
#include "download_batch_fixture.h"
#include "support/http_test_server.h"

namespace vel {
namespace {

using test::filesIn;
using test::ok;
using test::RecordingObserver;
using test::redirect;

constexpr std::chrono::sys_seconds kNow{std::chrono::seconds{1'700'000'000}};

BrowserCookie cookie(std::string name, std::string value, std::string domain,
                     std::string path = "/")
{
    return {.name = std::move(name),
            .value = std::move(value),
            .domain = std::move(domain),
            .path = std::move(path),
            .expires = std::nullopt};
}

// The value of a header line in a recorded request head; "<none>" without one.
std::string headerValue(const std::string& head, const std::string& name)
{
    const std::string key = "\r\n" + name + ": ";
    const std::size_t at = head.find(key);
    if (at == std::string::npos)
        return "<none>";
    const std::size_t start = at + key.size();
    return head.substr(start, head.find("\r\n", start) - start);
}

class DownloadBrowserTest : public test::DownloadBatchTest {
protected:
    RecordingObserver runEntries(const std::vector<FoundEntry>& entries,
                                 const std::vector<BrowserCookie>& cookies)
    {
        const DownloadFolder folder = openDownloadFolder(work(), "20240506");
        EXPECT_TRUE(folder.valid());
        DownloadBatch batch;
        batch.items =
            planDownload(entries, EntrySource{m_server.url("/dir/"), "", {}}, {}, cookies, kNow);
        batch.targetFolder = folder.handle.get();
        batch.browserCookies = cookies;
        batch.now = kNow;
        return runBatch(std::move(batch));
    }

    // The request head for the target; empty when none arrived.
    std::string requestFor(const std::string& target) const
    {
        for (const std::string& head : m_server.requests()) {
            if (test::requestTarget(head) == target)
                return head;
        }
        return {};
    }

    std::string localhostUrl(const std::string& target) const
    {
        return "http://localhost:" + std::to_string(m_server.port()) + target;
    }
};

TEST_F(DownloadBrowserTest, LiveEntriesSendTheBrowsersCookiesAndPageAndSourceEntriesDoNot)
{
    m_server.route("/img/a.jpg", ok("alpha"));
    m_server.route("/dir/b.jpg", ok("bravo"));
    const std::string page = m_server.url("/gallery/index.html");
    BrowserCookie secure = cookie("s", "1", "127.0.0.1");
    secure.secure = true;
    const std::vector<BrowserCookie> cookies = {
        cookie("sid", "abc", "127.0.0.1"), cookie("deep", "x", "127.0.0.1", "/img/a"), secure,
        cookie("elsewhere", "no", "localhost"), cookie("img", "yes", "127.0.0.1", "/img")};

    const RecordingObserver observer = runEntries(
        {{m_server.url("/img/a.jpg"), m_server.url("/img/a.jpg"), page}, {"b.jpg", "b.jpg"}},
        cookies);

    EXPECT_TRUE(observer.failed.empty());
    EXPECT_EQ(filesIn(dateDir()),
              (std::map<std::string, std::string>{{"a.jpg", "alpha"}, {"b.jpg", "bravo"}}));
    const std::string live = requestFor("/img/a.jpg");
    EXPECT_EQ(headerValue(live, "Cookie"), "img=yes; sid=abc");
    EXPECT_EQ(headerValue(live, "Referer"), page);
    EXPECT_EQ(headerValue(live, "Cache-Control"), "no-cache");
    const std::string source = requestFor("/dir/b.jpg");
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(source.find("Cookie:"), std::string::npos) << source;
    EXPECT_EQ(source.find("Referer:"), std::string::npos) << source;
}

TEST_F(DownloadBrowserTest, AnIpv6HostIsReachedWithItsOwnCookiesAlone)
{
    std::unique_ptr<test::HttpTestServer> v6;
    try {
        v6 = std::make_unique<test::HttpTestServer>(test::Loopback::V6);
    } catch (const std::system_error&) {
        GTEST_SKIP() << "no IPv6 loopback";
    }
    v6->route("/img/a.jpg", ok("alpha"));
    const std::string url = v6->url("/img/a.jpg");

    const RecordingObserver observer =
        runEntries({{url, url, v6->url("/p.html")}},
                   {cookie("mine", "1", "[::1]"), cookie("v4", "2", "127.0.0.1")});

    EXPECT_TRUE(observer.failed.empty());
    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"a.jpg", "alpha"}}));
    ASSERT_EQ(v6->requests().size(), 1U);
    EXPECT_EQ(headerValue(v6->requests()[0], "Host"), "[::1]:" + std::to_string(v6->port()));
    EXPECT_EQ(headerValue(v6->requests()[0], "Cookie"), "mine=1");
}

TEST_F(DownloadBrowserTest, LiveEntryWithoutMatchingCookiesSendsNoCookieHeader)
{
    m_server.route("/img/a.jpg", ok("alpha"));
    const std::string page = m_server.url("/p.html");

    runEntries({{m_server.url("/img/a.jpg"), m_server.url("/img/a.jpg"), page}},
               {cookie("other", "1", "localhost")});

    const std::string live = requestFor("/img/a.jpg");
    EXPECT_EQ(live.find("Cookie:"), std::string::npos) << live;
    EXPECT_EQ(headerValue(live, "Referer"), page);
}

TEST_F(DownloadBrowserTest, EachRedirectCarriesOnlyTheCookiesOfTheURLItPointsTo)
{
    // 127.0.0.1 and localhost are two hosts of one server.
    m_server.route("/r/a.jpg", redirect(localhostUrl("/final/a.jpg")));
    m_server.route("/final/a.jpg", redirect(m_server.url("/other/a.jpg")));
    m_server.route("/other/a.jpg", ok("the picture"));
    const std::string page = m_server.url("/p.html");
    const std::vector<BrowserCookie> cookies = {cookie("first", "1", "127.0.0.1", "/r"),
                                                cookie("second", "2", "localhost", "/final")};

    const RecordingObserver observer =
        runEntries({{m_server.url("/r/a.jpg"), m_server.url("/r/a.jpg"), page}}, cookies);

    EXPECT_TRUE(observer.failed.empty());
    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"a.jpg", "the picture"}}));
    ASSERT_EQ(m_server.targets(),
              (std::vector<std::string>{"/r/a.jpg", "/final/a.jpg", "/other/a.jpg"}));
    const std::vector<std::string> heads = m_server.requests();
    EXPECT_EQ(headerValue(heads[0], "Cookie"), "first=1");
    EXPECT_EQ(headerValue(heads[1], "Host"), "localhost:" + std::to_string(m_server.port()));
    EXPECT_EQ(headerValue(heads[1], "Cookie"), "second=2");
    EXPECT_EQ(headerValue(heads[2], "Cookie"), "<none>");
    for (const std::string& head : heads)
        EXPECT_EQ(headerValue(head, "Referer"), page);
}

TEST_F(DownloadBrowserTest, SourceEntriesRedirectedElsewhereStayWithoutCookies)
{
    m_server.route("/dir/a.jpg", redirect(localhostUrl("/final/a.jpg")));
    m_server.route("/final/a.jpg", ok("moved"));

    const RecordingObserver observer = runEntries(
        {{"a.jpg", "a.jpg"}}, {cookie("c", "1", "localhost"), cookie("d", "1", "127.0.0.1")});

    EXPECT_TRUE(observer.failed.empty());
    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"a.jpg", "moved"}}));
    for (const std::string& head : m_server.requests())
        EXPECT_EQ(head.find("Cookie:"), std::string::npos) << head;
}

TEST_F(DownloadBrowserTest, EndlessRedirectsOfALiveEntryFailWithoutAFile)
{
    m_server.route("/loop.jpg", redirect("/loop.jpg"));
    m_server.route("/b.jpg", ok("b"));

    const RecordingObserver observer =
        runEntries({{m_server.url("/loop.jpg"), m_server.url("/loop.jpg"), m_server.url("/")},
                    {m_server.url("/b.jpg"), m_server.url("/b.jpg"), m_server.url("/")}},
                   {});

    EXPECT_EQ(observer.failed, (std::vector<std::size_t>{0}));
    EXPECT_EQ(filesIn(dateDir()), (std::map<std::string, std::string>{{"b.jpg", "b"}}));
    EXPECT_EQ(m_server.targets().size(), 12U);  // the first request and ten redirects, then b
}

}  // namespace
}  // namespace vel
