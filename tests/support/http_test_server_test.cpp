// The loopback server that the HTTP, download and widget tests rely on, seen
// from a plain socket client.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/http_test_server.h"

namespace vel::test {
namespace {

using namespace std::chrono_literals;

// A blocking client socket with a hang guard on every read.
class Client {
public:
    explicit Client(std::uint16_t port)
        : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() { ::close(m_fd); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return m_connected; }

    void get(const std::string& target)
    {
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        ASSERT_EQ(::send(m_fd, request.data(), request.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(request.size()));
    }

    // Exactly `count` bytes, or nullopt when the connection ends or nothing comes in time.
    std::optional<std::string> read(std::size_t count, std::chrono::milliseconds timeout = 20s)
    {
        std::string bytes;
        char buffer[65536];
        while (bytes.size() < count) {
            if (!readable(timeout))
                return std::nullopt;
            const ssize_t got =
                ::recv(m_fd, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
            if (got <= 0)
                return std::nullopt;
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    // True when the server closes the connection within the time-out.
    // An orderly close, or a reset when the server stopped before it had
    // taken the connection from its queue: either way the server let go.
    bool closedByServer(std::chrono::milliseconds timeout = 20s)
    {
        char byte;
        if (!readable(timeout))
            return false;
        const ssize_t got = ::recv(m_fd, &byte, 1, 0);
        return got == 0 || (got < 0 && errno == ECONNRESET);
    }

    bool readable(std::chrono::milliseconds timeout)
    {
        pollfd entry{m_fd, POLLIN, 0};
        return ::poll(&entry, 1, static_cast<int>(timeout.count())) > 0;
    }

private:
    int m_fd;
    bool m_connected = false;
};

std::string okAnswer(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(HttpTestServer, RoutesKeepTheConnectionAndRecordEveryRequest)
{
    HttpTestServer server;
    server.route("/a", ok("alpha"));
    server.route("http://proxied.invalid/p", ok("via proxy"));
    Client client(server.port());
    ASSERT_TRUE(client.connected());
    client.get("/a");
    EXPECT_EQ(client.read(okAnswer("alpha").size()), okAnswer("alpha"));
    client.get("/none");
    const std::string missing = "HTTP/1.1 404 Not Found\r\nContent-Length: 8\r\n\r\nno route";
    EXPECT_EQ(client.read(missing.size()), missing);
    client.get("http://proxied.invalid/p");
    EXPECT_EQ(client.read(okAnswer("via proxy").size()), okAnswer("via proxy"));
    EXPECT_EQ(server.accepted(), 1);
    EXPECT_EQ(server.targets(),
              (std::vector<std::string>{"/a", "/none", "http://proxied.invalid/p"}));
    EXPECT_EQ(server.requests()[0], "GET /a HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(server.url("/x"), "http://127.0.0.1:" + std::to_string(server.port()) + "/x");
}

TEST(HttpTestServer, AnswersThatCloseTheConnection)
{
    HttpTestServer server;
    server.route("/raw", raw("HTTP/1.1 200 OK\r\n\r\nuntil close"));
    server.route("/page", page("text/html", "<p>"));
    {
        Client client(server.port());
        client.get("/raw");
        EXPECT_EQ(client.read(30), "HTTP/1.1 200 OK\r\n\r\nuntil close");
        EXPECT_TRUE(client.closedByServer());
    }
    Client client(server.port());
    client.get("/page");
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Type: "
                               "text/html\r\nConnection: close\r\n\r\n<p>";
    EXPECT_EQ(client.read(answer.size()), answer);
    EXPECT_TRUE(client.closedByServer());
}

TEST(HttpTestServer, GeneratedBodyThenStallUntilTheClientLeaves)
{
    HttpTestServer server;
    std::atomic<bool> sent{false};
    Route big = generated(1'000'003);
    big.stallAfter = true;
    big.onSent = [&sent] { sent = true; };
    server.route("/big", big);
    {
        Client client(server.port());
        client.get("/big");
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 1000003\r\n\r\n";
        EXPECT_EQ(client.read(head.size()), head);
        const std::optional<std::string> body = client.read(1'000'003);
        ASSERT_TRUE(body);
        bool patterned = true;
        for (std::size_t i = 0; i < body->size(); ++i)
            patterned = patterned && (*body)[i] == generatedByte(i);
        EXPECT_TRUE(patterned);
        EXPECT_TRUE(sent);
        // Stalled: nothing more, and the connection stays open.
        EXPECT_FALSE(client.readable(300ms));
        EXPECT_FALSE(server.waitUntilClosed(1, 0ms));
    }
    EXPECT_TRUE(server.waitUntilClosed(1));
}

TEST(HttpTestServer, HeldTargetWaitsWhileOtherConnectionsAreServed)
{
    HttpTestServer server;
    server.route("/held", ok("first"));
    server.route("/free", ok("free"));
    server.hold("/held");
    Client held(server.port());
    held.get("/held");
    ASSERT_TRUE(server.waitForRequests(1));
    // A route set during the hold answers on release.
    server.route("/held", ok("later"));

    Client other(server.port());
    other.get("/free");
    EXPECT_EQ(other.read(okAnswer("free").size()), okAnswer("free"));
    EXPECT_FALSE(held.readable(200ms));

    server.release("/held");
    EXPECT_EQ(held.read(okAnswer("later").size()), okAnswer("later"));
    // Released for good: the next request is answered at once.
    held.get("/held");
    EXPECT_EQ(held.read(okAnswer("later").size()), okAnswer("later"));
    EXPECT_EQ(server.targets(), (std::vector<std::string>{"/held", "/free", "/held"}));
}

TEST(HttpTestServer, ScriptsByConnectionThenRoutes)
{
    HttpTestServer server({{receive(), send("one"), receive(), send("two")}, {receive()}});
    server.route("/r", ok("routed"));
    Client first(server.port());
    first.get("/1");
    EXPECT_EQ(first.read(3), "one");
    first.get("/2");
    EXPECT_EQ(first.read(3), "two");
    EXPECT_TRUE(first.closedByServer());
    Client second(server.port());
    second.get("/3");
    EXPECT_TRUE(second.closedByServer());
    Client third(server.port());
    third.get("/r");
    EXPECT_EQ(third.read(okAnswer("routed").size()), okAnswer("routed"));
    EXPECT_EQ(server.accepted(), 3);
    EXPECT_EQ(server.targets(), (std::vector<std::string>{"/1", "/2", "/3", "/r"}));
    EXPECT_TRUE(server.waitUntilClosed(2));
}

TEST(HttpTestServer, StopsAtOnceWhateverItsConnectionsDo)
{
    std::optional<HttpTestServer> server(std::vector<ConnectionScript>{
        {receive(), sendForever(std::string(65536, 'x'))}, {receive(), holdOpen()}});
    server->hold("/held");
    Client flooded(server->port());  // reads nothing
    flooded.get("/");
    Client holding(server->port());
    holding.get("/");
    Client held(server->port());
    held.get("/held");
    Client silent(server->port());  // sends nothing
    ASSERT_TRUE(server->waitForRequests(3));
    ASSERT_TRUE(flooded.read(1));

    // A hang guard, far above what stopping takes.
    const auto start = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
    EXPECT_TRUE(holding.closedByServer());
    EXPECT_TRUE(held.closedByServer());
    EXPECT_TRUE(silent.closedByServer());
}

TEST(HttpTestServer, ClosedPortRefusesConnections)
{
    Client client(closedPort());
    EXPECT_FALSE(client.connected());
}

}  // namespace
}  // namespace vel::test
