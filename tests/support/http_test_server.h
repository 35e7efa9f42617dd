#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/test_ca.h"

struct ssl_ctx_st;

namespace vel::test {

class ServerChannel;

// ---------------------------------------------------------------------------
// Connection scripts: what the server does on one connection, byte for byte.
// A script that runs out closes the connection.

struct ScriptStep {
    enum class Kind { Receive, Send, SendForever, HoldOpen, CloseWithoutNotify };
    Kind kind = Kind::Receive;
    std::string bytes;
};

// Reads one request head (up to its empty line) and records it.
ScriptStep receive();
ScriptStep send(std::string bytes);
// Sends the bytes again and again until the client goes away.
ScriptStep sendForever(std::string bytes);
// Keeps the connection open, reading and dropping bytes, until the client closes it.
ScriptStep holdOpen();
// Closes the connection at once; over TLS without a close_notify, as a server
// that just drops the connection does. (A script that runs out sends one.)
ScriptStep closeWithoutNotify();

using ConnectionScript = std::vector<ScriptStep>;

// ---------------------------------------------------------------------------
// Routes: the answer to one request target.

struct Route {
    std::string head;  // status line and headers, empty line included
    std::string body;  // sent right after the head
    std::uint64_t generatedLength = 0;  // further body bytes made up on the fly (see generatedByte)
    bool stallAfter = false;  // then sends nothing more until the client leaves
    bool closeAfter = false;  // then closes the connection (else it stays open for more requests)
    std::function<void()> onSent;  // runs on the server's thread once the bytes above went out
};

// `status` is the status line's tail ("404 Not Found"); Content-Length is added.
Route reply(std::string_view status, std::string body, std::string_view extraHeaders = {});
Route ok(std::string body);
Route redirect(std::string_view location);
// A 200 answer with a Content-Type that closes the connection, as a plain web server does.
Route page(std::string_view contentType, std::string body);
// Exactly these bytes, then the connection closes (for answers that end at the close).
Route raw(std::string bytes);
// A 200 answer with a body of `length` bytes that is never held in memory whole.
Route generated(std::uint64_t length);
// The byte at `offset` of every generated body.
char generatedByte(std::uint64_t offset);

// The target of a recorded request head ("/dir/a.gif" from "GET /dir/a.gif HTTP/1.1").
std::string requestTarget(std::string_view head);

// ---------------------------------------------------------------------------
// An HTTP/1.1 server on 127.0.0.1 with an ephemeral port for tests, on
// threads of its own, so it serves a GoogleTest body and a Qt test's event
// loop alike. Each accepted connection runs on its own thread, several at
// once. The first connections play the scripts given, one each in order of
// acceptance; every later connection (all of them without scripts) is served
// by route, keep-alive, with a 404 for a target that has none. Every request
// head is recorded in arrival order (a request is taken to end at its head, as
// a GET does). The destructor stops every connection at once, whatever it is
// doing.
//
// Made with TLS credentials, the server speaks https too, on the same port:
// a connection whose first byte opens a TLS handshake is served over TLS
// (scripts and routes alike), any other in plain HTTP.
class HttpTestServer {
public:
    HttpTestServer();
    explicit HttpTestServer(std::vector<ConnectionScript> scripts);
    explicit HttpTestServer(TlsCredentials tls);
    HttpTestServer(std::vector<ConnectionScript> scripts, TlsCredentials tls);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // Thread-safe; a route set while a request is held answers it on release.
    void route(const std::string& target, Route route);
    // Requests for the target that arrive from now on wait for release().
    void hold(const std::string& target);
    // Answers every request waiting for the target; later ones are answered at once.
    void release(const std::string& target);

    std::uint16_t port() const { return m_port; }
    std::string origin() const;
    std::string url(std::string_view target = "/") const;
    // "https://<host>:<port><target>".
    std::string secureUrl(std::string_view target = "/", std::string_view host = "127.0.0.1") const;

    std::vector<std::string> requests() const;
    std::vector<std::string> targets() const;
    // "http" or "https" for each recorded request, in the same order.
    std::vector<std::string> schemes() const;
    // The server name each TLS connection's client sent ("" for none), in
    // order of completed handshakes.
    std::vector<std::string> serverNames() const;
    int accepted() const { return m_accepted.load(); }

    // Hang guards for a test waiting on the client's traffic; false on time-out.
    bool waitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds{20});
    // Waits until `count` connections have ended (either side closed them).
    bool waitUntilClosed(int count, std::chrono::milliseconds timeout = std::chrono::seconds{20});

private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    void reapFinishedWorkers();
    void serve(ServerChannel& channel, const ConnectionScript* script);
    void play(ServerChannel& channel, const ConnectionScript& script);
    void serveRoutes(ServerChannel& channel);
    bool receiveAndRecord(ServerChannel& channel, std::string& head,
                          std::uint64_t* holdId = nullptr);
    bool startTls(ServerChannel& channel);
    bool waitForRelease(ServerChannel& channel, const std::string& target, std::uint64_t holdId);
    bool answer(ServerChannel& channel, const Route& route);

    std::vector<ConnectionScript> m_scripts;
    ssl_ctx_st* m_tls = nullptr;  // null: plain HTTP only
    int m_listenFd = -1;
    int m_wakeFd = -1;  // readable once the server stops: wakes every waiting thread
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, Route> m_routes;
    std::map<std::string, std::uint64_t> m_holds;  // target -> the hold in force
    std::uint64_t m_nextHold = 1;
    std::vector<std::string> m_requests;
    std::vector<std::string> m_schemes;
    std::vector<std::string> m_serverNames;
    int m_closed = 0;

    std::list<Worker> m_workers;  // touched by the accepting thread only, until it has ended
    std::thread m_acceptor;
};

// A port on 127.0.0.1 that nothing listens on.
std::uint16_t closedPort();

}  // namespace vel::test
