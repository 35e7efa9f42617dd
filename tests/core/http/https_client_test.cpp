#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/http/client_test_helpers.h"
#include "core/http/http_client.h"
#include "support/http_test_server.h"
#include "support/test_ca.h"

namespace vel {
namespace {

using namespace std::chrono_literals;
using test::closeWithoutNotify;
using test::expectedRequestTo;
using test::guardedOptions;
using test::holdOpen;
using test::HttpTestServer;
using test::okWith;
using test::receive;
using test::send;
using test::TestCa;
using test::TrustedCaScope;

using Texts = std::vector<std::string>;

std::string hostAndPort(const std::string& host, const HttpTestServer& server)
{
    return host + ":" + std::to_string(server.port());
}

TEST(HttpsClient, FetchesFromATrustedServerAsOverHttp)
{
    const TestCa ca;
    const TrustedCaScope trust(ca);
    HttpTestServer server(
        {{receive(),
          send(okWith("secret",
                      "Content-Type: text/html; charset=Shift_JIS\r\n"
                      "Set-Cookie: s=1; secure; path=/\r\nSet-Cookie: p=2; path=/\r\n")),
          receive(), send(okWith("two")), holdOpen()},
         {receive(), send(okWith("by address")), holdOpen()},
         {receive(), send(okWith("plain")), holdOpen()}},
        ca.issue({"localhost", "127.0.0.1"}));
    HttpClient client(guardedOptions());
    const std::string host = hostAndPort("localhost", server);

    const std::string first = server.secureUrl("/dir/a.html?x=1#top", "localhost");
    FetchResult result = client.get(first);
    EXPECT_EQ(result.outcome, FetchOutcome::Success) << describe(result.error);
    EXPECT_EQ(result.body, "secret");
    EXPECT_EQ(result.finalUrl, first);
    EXPECT_EQ(result.contentType, "text/html; charset=Shift_JIS");
    // The kept TLS connection carries the next request, with the Secure cookie.
    EXPECT_EQ(client.get(server.secureUrl("/b.html", "localhost")).body, "two");
    // An address is checked against the certificate's IP entry.
    EXPECT_EQ(client.get(server.secureUrl("/c.html")).body, "by address");
    // Over http the Secure cookie stays behind.
    EXPECT_EQ(client.get("http://" + host + "/d.html").body, "plain");

    EXPECT_EQ(server.requests(),
              (Texts{expectedRequestTo(host, "/dir/a.html?x=1"),
                     expectedRequestTo(host, "/b.html", "s=1; p=2"),
                     expectedRequestTo(hostAndPort("127.0.0.1", server), "/c.html"),
                     expectedRequestTo(host, "/d.html", "p=2")}));
    EXPECT_EQ(server.schemes(), (Texts{"https", "https", "https", "http"}));
    // The host name goes out as the server name; an address does not.
    EXPECT_EQ(server.serverNames(), (Texts{"localhost", ""}));
    EXPECT_EQ(server.accepted(), 3);
}

TEST(HttpsClient, RefusesCertificatesItCannotVerifyBeforeSendingAnything)
{
    const TestCa trusted;
    const TestCa stranger("Stranger CA");
    const TrustedCaScope trust(trusted);
    const struct {
        const char* name;
        test::TlsCredentials credentials;
        std::string host;
    } rows[] = {
        {"issued by an unknown CA", stranger.issue({"localhost", "127.0.0.1"}), "localhost"},
        {"for another name", trusted.issue({"other.example"}), "localhost"},
        {"for the name, fetched by address", trusted.issue({"localhost"}), "127.0.0.1"},
        {"for the address, fetched by name", trusted.issue({"127.0.0.1"}), "localhost"},
        {"for a name that only ends like the host", trusted.issue({"xlocalhost"}), "localhost"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HttpTestServer server(row.credentials);
        HttpClient client(guardedOptions());
        const FetchResult result = client.get(server.secureUrl("/page.html", row.host));
        EXPECT_EQ(result.outcome, FetchOutcome::CertificateFailure) << describe(result.error);
        EXPECT_EQ(result.error, FetchError::CertificateRejected);
        EXPECT_TRUE(result.body.empty());
        // The client did connect, but no request (nor a plain retry) reached the server.
        EXPECT_EQ(server.accepted(), 1);
        EXPECT_TRUE(server.waitUntilClosed(1));
        EXPECT_TRUE(server.requests().empty());
    }
}

TEST(HttpsClient, TrustIsReadWhenTheClientMakesItsFirstConnection)
{
    const TestCa ca;
    HttpTestServer server(ca.issue({"127.0.0.1"}));
    server.route("/", test::ok("page"));
    {
        // Another trust store: this CA is unknown to it.
        const TestCa other;
        const TrustedCaScope trust(other);
        HttpClient client(guardedOptions());
        EXPECT_EQ(client.get(server.secureUrl()).outcome, FetchOutcome::CertificateFailure);
    }
    const TrustedCaScope trust(ca);
    HttpClient client(guardedOptions());
    EXPECT_EQ(client.get(server.secureUrl()).body, "page");
}

TEST(HttpsClient, AbortEndsAHandshakeTheServerNeverAnswers)
{
    const TestCa ca;
    const TrustedCaScope trust(ca);
    // A plain server that reads the ClientHello and says nothing.
    HttpTestServer server({{holdOpen()}});
    HttpClientOptions options = guardedOptions();
    options.connectTimeout = 300s;
    HttpClient client(options);
    FetchResult result;
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] { result = client.get(server.secureUrl()); });
    while (server.accepted() < 1 && test::secondsSince(start) < 60)
        std::this_thread::sleep_for(5ms);
    client.abort();
    worker.join();
    EXPECT_EQ(result.outcome, FetchOutcome::Aborted);
    EXPECT_LT(test::secondsSince(start), 120.0);
    EXPECT_TRUE(server.waitUntilClosed(1));
}

TEST(HttpsClient, AKeptConnectionServesOnlyItsOwnScheme)
{
    const TestCa ca;
    const TrustedCaScope trust(ca);
    // Each connection stays open on the server's side: only the client can
    // leave it, and a request sent on the wrong one would never be answered.
    HttpTestServer server({{receive(), send(okWith("plain")), holdOpen()},
                           {receive(), send(okWith("secure")), holdOpen()},
                           {receive(), send(okWith("plain again")), holdOpen()}},
                          ca.issue({"127.0.0.1"}));
    HttpClient client(guardedOptions());
    EXPECT_EQ(client.get(server.url("/1")).body, "plain");
    EXPECT_EQ(client.get(server.secureUrl("/2")).body, "secure");
    EXPECT_EQ(client.get(server.url("/3")).body, "plain again");
    EXPECT_EQ(server.accepted(), 3);
    EXPECT_EQ(server.schemes(), (Texts{"http", "https", "http"}));
    EXPECT_EQ(server.targets(), (Texts{"/1", "/2", "/3"}));
}

TEST(HttpsClient, ClosesEndBodiesAsOnAPlainConnection)
{
    const TestCa ca;
    const TrustedCaScope trust(ca);
    const std::string untilClose = "HTTP/1.1 200 OK\r\n\r\nuntil\r\nclose";
    const std::string shortBody =
        "HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" + std::string(5000, 'x');
    const std::string cutChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nabc";
    const struct {
        const char* name;
        test::ConnectionScript script;
        FetchOutcome outcome;
        std::string body;
        FetchError error;
    } rows[] = {
        {"to the close, with close_notify",
         {receive(), send(untilClose)},
         FetchOutcome::Success,
         "until\r\nclose",
         FetchError::None},
        {"to the close, without close_notify",
         {receive(), send(untilClose), closeWithoutNotify()},
         FetchOutcome::Success,
         "until\r\nclose",
         FetchError::None},
        {"short body",
         {receive(), send(shortBody), closeWithoutNotify()},
         FetchOutcome::OtherFailure,
         "",
         FetchError::ClosedInBody},
        {"chunked, closed inside",
         {receive(), send(cutChunked)},
         FetchOutcome::OtherFailure,
         "",
         FetchError::ClosedInChunkedBody},
        {"before the status",
         {receive(), closeWithoutNotify()},
         FetchOutcome::OtherFailure,
         "",
         FetchError::ClosedBeforeStatus},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HttpTestServer server({row.script}, ca.issue({"127.0.0.1"}));
        HttpClient client(guardedOptions());
        const FetchResult result = client.get(server.secureUrl());
        EXPECT_EQ(result.outcome, row.outcome) << describe(result.error);
        EXPECT_EQ(result.body, row.body);
        EXPECT_EQ(result.error, row.error);
    }
}

TEST(HttpsClient, LargeBodiesArriveWhole)
{
    const TestCa ca;
    const TrustedCaScope trust(ca);
    std::string body(8 << 20, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7 / 3);
    HttpTestServer server(
        {{receive(), send(okWith(body)), receive(), send(okWith("after")), holdOpen()}},
        ca.issue({"127.0.0.1"}));
    HttpClient client(guardedOptions());
    EXPECT_TRUE(client.get(server.secureUrl()).body == body);
    EXPECT_EQ(client.get(server.secureUrl()).body, "after");
    EXPECT_EQ(server.accepted(), 1);
}

}  // namespace
}  // namespace vel
