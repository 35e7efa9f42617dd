#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vel {

// The URL a browser resolves `value` to against `base`, worked out without
// the browser for the values whose resolution is a plain join: a relative
// path ("photos/a.jpg?w=1"), a rooted path ("/photos/a.jpg") or an absolute
// http(s) URL with a plain lower-case host name and no port, each made only of
// characters the URL parser keeps as they are, with no dot segment, no
// fragment, and no %-escape but of bytes outside ASCII ("%E5"; the browser
// unescapes some ASCII ones). `base` is an http,
// https or file URL as the browser serializes it. Nothing for any other value
// or base: those are left to the browser.
std::optional<std::string> joinPlainReference(std::string_view base, std::string_view value);

}  // namespace vel
