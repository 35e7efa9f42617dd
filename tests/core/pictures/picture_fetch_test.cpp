#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/pictures/picture_fetch_queue.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

using test::reply;

// What each URL of a queue ended in, waited for without a clock of its own.
class Ends {
public:
    void add(const PictureFetched& fetched)
    {
        const std::lock_guard lock(m_mutex);
        m_ends[fetched.url] = fetched;
        m_changed.notify_all();
    }
    std::map<std::string, PictureFetched> waitFor(std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds{60}, [&] { return m_ends.size() >= count; });
        return m_ends;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, PictureFetched> m_ends;
};

TEST(PictureFetchQueue, FetchesIntoTheCacheAndSaysWhyNot)
{
    test::HttpTestServer server;
    const std::string picture = "GIF89a\x01\x00\x01\x00 and the rest";
    server.route("/a.gif", test::ok(picture));
    server.route("/moved.gif", test::redirect("/a2.gif"));
    server.route("/a2.gif", test::ok("moved picture"));
    server.route("/gone.gif", reply("404 Not Found", "<html>gone</html>"));
    server.route("/cut.gif", test::raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nGIF89a"));
    server.route("/big.gif", test::generated(5000));
    server.route("/shown.gif", test::ok("from the page shown"));
    test::TempDir dir;
    PictureCache cache(dir.path() / "cache");
    Ends ends;
    PictureFetchOptions options;
    options.maxBody = 4096;
    PictureFetchQueue queue(
        cache, [&ends](const PictureFetched& f) { ends.add(f); }, options);

    const auto url = [&server](const char* target) { return server.url(target); };
    queue.want({{url("/a.gif")},
                {url("/moved.gif")},
                {url("/gone.gif")},
                {url("/cut.gif")},
                {url("/big.gif")},
                {url("/shown.gif"), url("/page.html"), "k=v"},
                {"http://127.0.0.1:" + std::to_string(test::closedPort()) + "/x.gif"}});
    const auto got = ends.waitFor(7);
    struct Expected {
        const char* target;
        PictureFetchEnd end;
        std::string cached;  // the body kept, for a stored one
    };
    const Expected expected[] = {
        {"/a.gif", PictureFetchEnd::Stored, picture},
        {"/moved.gif", PictureFetchEnd::Stored, "moved picture"},
        {"/gone.gif", PictureFetchEnd::ErrorStatus, ""},
        {"/cut.gif", PictureFetchEnd::CutShort, ""},
        {"/big.gif", PictureFetchEnd::TooLarge, ""},
        {"/shown.gif", PictureFetchEnd::Stored, "from the page shown"},
    };
    for (const Expected& e : expected) {
        ASSERT_TRUE(got.count(url(e.target))) << e.target;
        const PictureFetched& f = got.at(url(e.target));
        EXPECT_EQ(f.end, e.end) << e.target;
        const auto body = cache.open(url(e.target));
        EXPECT_EQ(body ? body->readAll().value_or("?") : "", e.cached) << e.target;
        EXPECT_EQ(f.size, e.cached.size()) << e.target;
    }
    EXPECT_EQ(got.size(), 7u);
    EXPECT_EQ(got.at(url("/gone.gif")).httpStatus, 404);
    for (const std::string& head : server.requests()) {
        const bool shown = test::requestTarget(head) == "/shown.gif";
        EXPECT_EQ(head.find("\r\nReferer: " + url("/page.html") + "\r\n") != std::string::npos,
                  shown);
        EXPECT_EQ(head.find("\r\nCookie: k=v\r\n") != std::string::npos, shown);
    }

    // A body in the cache is not asked for again.
    const std::size_t asked = server.requests().size();
    Ends again;
    PictureFetchQueue second(cache, [&again](const PictureFetched& f) { again.add(f); });
    second.want({{url("/a.gif")}});
    EXPECT_EQ(again.waitFor(1).at(url("/a.gif")).size, picture.size());
    EXPECT_EQ(server.requests().size(), asked);
}

}  // namespace
}  // namespace vel
