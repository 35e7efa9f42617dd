#pragma once

#include <string>
#include <string_view>

#include "core/http/http_url.h"

namespace vel {

inline constexpr std::string_view kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

// The bytes of a GET for the URL: the request line, Content-Type, Host, Accept,
// User-Agent and, when `cookies` is not empty, Cookie, each ended by CR LF,
// then the empty line. The same bytes go over http and https.
std::string buildGetRequest(const HttpUrl& url, std::string_view cookies);

}  // namespace vel
