#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "core/http/client_test_helpers.h"
#include "core/http/http_client.h"
#include "core/search/fetch_page.h"
#include "support/http_test_server.h"
#include "support/test_ca.h"

namespace vel {
namespace {

using test::closeWithoutNotify;
using test::expectedRequest;
using test::expectedRequestTo;
using test::guardedOptions;
using test::holdOpen;
using test::HttpTestServer;
using test::okWith;
using test::receive;
using test::reply;
using test::send;
using test::TestCa;
using test::TrustedCaScope;

using Texts = std::vector<std::string>;

TEST(Redirects, EachRedirectStatusIsFollowedWithAGet)
{
    for (const char* status : {"301 Moved Permanently", "302 Found", "303 See Other",
                               "307 Temporary Redirect", "308 Permanent Redirect"}) {
        SCOPED_TRACE(status);
        HttpTestServer server;
        server.route("/start", reply(status, "moved", "Location: /final\r\n"));
        server.route("/final", reply("200 OK", "page", "Content-Type: text/plain\r\n"));
        HttpClient client(guardedOptions());
        const FetchResult result = client.get(server.url("/start"));
        EXPECT_EQ(result.outcome, FetchOutcome::Success) << describe(result.error);
        EXPECT_EQ(result.status, 200);
        EXPECT_EQ(result.body, "page");
        EXPECT_EQ(result.finalUrl, server.url("/final"));
        EXPECT_EQ(result.contentType, "text/plain");
        EXPECT_EQ(server.requests(),
                  (Texts{expectedRequest("/start", server.port()),
                         expectedRequest("/final", server.port())}));
        // The redirect's body was read to its end, so the connection went on.
        EXPECT_EQ(server.accepted(), 1);
    }
}

TEST(Redirects, TargetsGoOutEncodedAndIpv6HostsInBrackets)
{
    std::unique_ptr<HttpTestServer> server;
    try {
        server = std::make_unique<HttpTestServer>(test::Loopback::V6);
    } catch (const std::system_error&) {
        GTEST_SKIP() << "no IPv6 loopback";
    }
    server->route("/start", reply("302 Found", "", "Location: /a b/\xE5\x86\x99.html?q='x'\r\n"));
    server->route("/a%20b/%E5%86%99.html?q=%27x%27", reply("200 OK", "page"));
    const FetchResult result = HttpClient(guardedOptions()).get(server->url("/start"));
    EXPECT_EQ(result.body, "page") << describe(result.error);
    EXPECT_EQ(server->targets(), (Texts{"/start", "/a%20b/%E5%86%99.html?q=%27x%27"}));
    for (const std::string& head : server->requests())
        EXPECT_NE(head.find("\r\nHost: [::1]:" + std::to_string(server->port()) + "\r\n"),
                  std::string::npos);
}

TEST(Redirects, LocationsResolveAgainstTheUrlThatAnswered)
{
    const std::string page = "/dir/sub/page.html?q=0";
    const std::pair<std::string, std::string> rows[] = {
        {"x.html", "/dir/sub/x.html"}, {"../other/y.html", "/dir/other/y.html"},
        {"/root.html", "/root.html"},  {"?q=1", "/dir/sub/page.html?q=1"},
        {"./", "/dir/sub/"},           {"z.html#part", "/dir/sub/z.html"},
    };
    for (const auto& [location, target] : rows) {
        SCOPED_TRACE(location);
        HttpTestServer server;
        server.route(page, reply("302 Found", "", "Location: " + location + "\r\n"));
        server.route(target, test::ok("there"));
        HttpClient client(guardedOptions());
        const FetchResult result = client.get(server.url(page));
        EXPECT_EQ(result.body, "there") << describe(result.error);
        EXPECT_EQ(server.targets(), (Texts{page, target}));
    }
    // Absolute and scheme-relative ones name the place themselves; the second
    // hop's own URL is the base of the third.
    HttpTestServer server;
    const std::string port = std::to_string(server.port());
    server.route("/a", test::redirect("//localhost:" + port + "/b/c.html"));
    server.route("/b/c.html", test::redirect("HTTP://127.0.0.1:" + port + "/d/e.html"));
    server.route("/d/e.html", test::redirect("f.html"));
    server.route("/d/f.html", test::ok("end"));
    HttpClient client(guardedOptions());
    const FetchResult result = client.get(server.url("/a"));
    EXPECT_EQ(result.body, "end");
    EXPECT_EQ(result.finalUrl, server.url("/d/f.html"));
    EXPECT_EQ(server.requests()[1], expectedRequestTo("localhost:" + port, "/b/c.html"));
}

TEST(Redirects, ChainBetweenHttpAndHttpsTakesCookiesOnTheWay)
{
    const TestCa ca;
    const TrustedCaScope trust(ca);
    HttpTestServer server(ca.issue({"localhost"}));
    const std::string host = "localhost:" + std::to_string(server.port());
    server.route(
        "/a",
        reply("302 Found", "",
              "Set-Cookie: a=1\r\nLocation: " + server.secureUrl("/b", "localhost") + "\r\n"));
    server.route(
        "/b",
        reply("301 Moved", "", "Set-Cookie: b=2; secure\r\nLocation: http://" + host + "/c\r\n"));
    server.route("/c", reply("303 See Other", "", "Location: https://" + host + "/d\r\n"));
    server.route("/d", test::ok("done"));
    HttpClient client(guardedOptions());
    const FetchResult result = client.get("http://" + host + "/a");
    EXPECT_EQ(result.outcome, FetchOutcome::Success) << describe(result.error);
    EXPECT_EQ(result.body, "done");
    EXPECT_EQ(result.finalUrl, "https://" + host + "/d");
    EXPECT_EQ(
        server.requests(),
        (Texts{expectedRequestTo(host, "/a"), expectedRequestTo(host, "/b", "a=1"),
               expectedRequestTo(host, "/c", "a=1"), expectedRequestTo(host, "/d", "a=1; b=2")}));
    EXPECT_EQ(server.schemes(), (Texts{"http", "https", "http", "https"}));
}

TEST(Redirects, ABadCertificateOnTheWayIsACertificateFailure)
{
    const TestCa ca;
    const TrustedCaScope trust(ca);
    HttpTestServer server(ca.issue({"other.example"}));
    server.route("/a", test::redirect(server.secureUrl("/b", "localhost")));
    HttpClient client(guardedOptions());
    const FetchResult result = client.get(server.url("/a"));
    EXPECT_EQ(result.outcome, FetchOutcome::CertificateFailure);
    EXPECT_EQ(result.finalUrl, server.secureUrl("/b", "localhost"));
    EXPECT_EQ(server.targets(), (Texts{"/a"}));
}

TEST(Redirects, ARevisitWithNewCookiesIsNoLoop)
{
    HttpTestServer server(
        {{receive(), send("HTTP/1.1 302 Found\r\nLocation: /login\r\nContent-Length: 0\r\n\r\n"),
          receive(),
          send("HTTP/1.1 302 Found\r\nSet-Cookie: k=1\r\nLocation: /page\r\nContent-Length: "
               "0\r\n\r\n"),
          receive(), send(okWith("in")), holdOpen()}});
    HttpClient client(guardedOptions());
    EXPECT_EQ(client.get(server.url("/page")).body, "in");
    EXPECT_EQ(
        server.requests(),
        (Texts{expectedRequest("/page", server.port()), expectedRequest("/login", server.port()),
               expectedRequest("/page", server.port(), "k=1")}));
}

TEST(Redirects, LoopsAndLongChainsAreProtocolErrors)
{
    {
        HttpTestServer server;
        server.route("/a", test::redirect("/b"));
        server.route("/b", test::redirect("/a"));
        HttpClient client(guardedOptions());
        const FetchResult result = client.get(server.url("/a"));
        EXPECT_EQ(result.outcome, FetchOutcome::ProtocolError);
        EXPECT_EQ(result.error, FetchError::RedirectLoop);
        EXPECT_EQ(result.status, 302);
        EXPECT_EQ(result.body, "moved");
        EXPECT_EQ(result.finalUrl, server.url("/b"));
        // Found before the repeated request went out.
        EXPECT_EQ(server.targets(), (Texts{"/a", "/b"}));
    }
    HttpTestServer server;
    Texts chain;
    for (int i = 0; i <= 10; ++i) {
        chain.push_back("/r" + std::to_string(i));
        server.route(chain.back(), test::redirect("/r" + std::to_string(i + 1)));
    }
    server.route("/r11", test::ok("reached"));
    {
        // Ten redirects in a row are followed...
        HttpClient client(guardedOptions());
        const FetchResult result = client.get(server.url("/r1"));
        EXPECT_EQ(result.body, "reached") << describe(result.error);
        EXPECT_EQ(result.finalUrl, server.url("/r11"));
    }
    // ...an eleventh is not.
    const std::size_t before = server.requests().size();
    HttpClient client(guardedOptions());
    const FetchResult result = client.get(server.url("/r0"));
    EXPECT_EQ(result.outcome, FetchOutcome::ProtocolError);
    EXPECT_EQ(result.error, FetchError::TooManyRedirects);
    EXPECT_EQ(result.status, 302);
    EXPECT_EQ(result.finalUrl, server.url("/r10"));
    const Texts targets = server.targets();
    EXPECT_EQ(Texts(targets.begin() + static_cast<std::ptrdiff_t>(before), targets.end()), chain);
}

TEST(Redirects, OnlyRedirectsToHttpOrHttpsAreFollowed)
{
    const struct {
        const char* name;
        std::string head;
        int status;
        FetchError error;
    } rows[] = {
        {"to ftp", "302 Found\r\nLocation: ftp://127.0.0.1/x.html", 302,
         FetchError::RedirectRefused},
        {"to mailto", "301 Moved\r\nLocation: mailto:someone@example.com", 301,
         FetchError::RedirectRefused},
        {"to javascript", "307 Temporary\r\nLocation: javascript:alert(1)", 307,
         FetchError::RedirectRefused},
        {"to an http URL without a host", "302 Found\r\nLocation: http:///x", 302,
         FetchError::RedirectRefused},
        {"Location on a 200", "200 OK\r\nLocation: /x.html", 200, FetchError::None},
        {"Location on a 201", "201 Created\r\nLocation: /x.html", 201, FetchError::None},
        {"Location on a 300", "300 Choices\r\nLocation: /x.html", 300, FetchError::None},
        {"Location on a 304", "304 Not Modified\r\nLocation: /x.html", 304, FetchError::None},
        {"a 302 without Location", "302 Found", 302, FetchError::None},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HttpTestServer server;
        server.route("/x.html", test::ok("elsewhere"));
        const std::string answer = "HTTP/1.1 " + row.head + "\r\nContent-Length: 4\r\n\r\nbody";
        server.route("/start.html", test::raw(answer));
        HttpClient client(guardedOptions());
        const FetchResult result = client.get(server.url("/start.html"));
        EXPECT_EQ(result.outcome, FetchOutcome::ProtocolError);
        EXPECT_EQ(result.error, row.error);
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.body, "body");
        EXPECT_EQ(result.finalUrl, server.url("/start.html"));
        EXPECT_EQ(server.targets(), (Texts{"/start.html"}));
    }
}

TEST(Redirects, ARedirectsBrokenBodyOnlyCostsTheConnection)
{
    HttpTestServer server(
        {{receive(),
          send(
              "HTTP/1.1 302 Found\r\nLocation: /next\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nab"),
          closeWithoutNotify()},
         {receive(), send(okWith("next")), holdOpen()}});
    HttpClient client(guardedOptions());
    const FetchResult result = client.get(server.url("/first"));
    EXPECT_EQ(result.body, "next") << describe(result.error);
    EXPECT_EQ(server.targets(), (Texts{"/first", "/next"}));
    EXPECT_EQ(server.accepted(), 2);
}

TEST(FetchPageSource, TellsWhereThePageCameFromAndWhatItIs)
{
    HttpTestServer server;
    server.route("/old", test::redirect("/new.html"));
    server.route("/new.html",
                 reply("200 OK", "<html>", "Content-Type: text/html; charset=UTF-8\r\n"));
    HttpClient client(guardedOptions());
    FetchedPage page{"stale", "stale", "stale"};
    EXPECT_EQ(fetchPageSource(client, server.url("/old"), page), PageFetchVerdict::Page);
    EXPECT_EQ(page.source, "<html>");
    EXPECT_EQ(page.finalUrl, server.url("/new.html"));
    EXPECT_EQ(page.contentType, "text/html; charset=UTF-8");

    // Without a redirect, the URL as asked for.
    const std::string asked = "HTTP://127.0.0.1:" + std::to_string(server.port()) + "\\new.html";
    EXPECT_EQ(fetchPageSource(client, asked, page), PageFetchVerdict::Page);
    EXPECT_EQ(page.finalUrl, asked);

    EXPECT_EQ(fetchPageSource(client, server.url("/missing"), page),
              PageFetchVerdict::ProtocolError);
    EXPECT_EQ(page.source, "");

    const TestCa trusted;
    const TestCa stranger("Stranger CA");
    const TrustedCaScope trust(trusted);
    HttpTestServer secure(stranger.issue({"127.0.0.1"}));
    HttpClient fresh(guardedOptions());
    EXPECT_EQ(fetchPageSource(fresh, secure.secureUrl(), page),
              PageFetchVerdict::CertificateFailure);
    EXPECT_EQ(page.source, "");
    EXPECT_EQ(page.contentType, "");
    EXPECT_EQ(page.finalUrl, secure.secureUrl());
}

}  // namespace
}  // namespace vel
