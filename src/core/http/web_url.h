#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/text/code_page.h"

namespace vel {

// What a browser requests for a URL written in a page: `value` read against
// the page's base URL `base` as the URL Standard reads it, without its
// fragment. For an http or https URL:
// - tabs and line breaks are dropped, spaces and control bytes trimmed;
// - "\" counts as "/" up to the query;
// - "http:x" against an http base is relative, "https:x" against it absolute;
// - "." and ".." segments, also written "%2e", are resolved;
// - the host is read by parseUrlHost, a default or empty port dropped;
// - what the Standard escapes is percent-encoded: spaces, control bytes and
//   "`{}<> in the path, "'<> in the query, and in the user name and password
//   also /:;=@[\]^|.
// Bytes above 0x7F stay as they are (the wire form encodes them, see
// encodeUrlForRequest), and on a code-page page the bytes of a double-byte
// character are never read as ASCII. Nothing when a browser rejects the
// value (a bad host or port, no host), or a relative value against an http
// or https base that a browser rejects. A value of another scheme, or a
// relative value against a base of another scheme, is resolved as RFC 3986
// says (resolveUrlReference): nothing when the base has no scheme.
std::optional<std::string> resolveWebUrl(std::string_view base, std::string_view value,
                                         PageCharset charset);

}  // namespace vel
