#pragma once

#include <chrono>
#include <string>

#include "core/http/http_client.h"

namespace vel::test {

// Time-outs here are hang guards only, generous for a busy machine.
inline HttpClientOptions guardedOptions()
{
    using namespace std::chrono_literals;
    HttpClientOptions options;
    options.connectTimeout = 20s;
    options.readTimeout = 20s;
    return options;
}

// The request the client sends for `target` to `hostAndPort`, over http and https alike.
inline std::string expectedRequestTo(const std::string& hostAndPort, const std::string& target,
                                     const std::string& cookie = {})
{
    return "GET " + target + " HTTP/1.1\r\nContent-Type: text/html\r\nHost: " + hostAndPort
        + "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
        + (cookie.empty() ? "" : "Cookie: " + cookie + "\r\n") + "\r\n";
}

inline std::string expectedRequest(const std::string& target, std::uint16_t port,
                                   const std::string& cookie = {})
{
    return expectedRequestTo("127.0.0.1:" + std::to_string(port), target, cookie);
}

inline std::string okWith(const std::string& body, const std::string& headers = {})
{
    return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + std::to_string(body.size())
        + "\r\n\r\n" + body;
}

inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace vel::test
