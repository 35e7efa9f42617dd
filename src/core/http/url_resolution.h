#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vel {

// A URL reference split into its five parts (RFC 3986, section 3). A part
// that is absent differs from one that is present but empty ("?" alone).
struct UrlParts {
    std::optional<std::string> scheme;  // without ":", lower-cased
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

// What a browser's URL parser does to an attribute value before reading it:
// leading and trailing spaces and control bytes trimmed, tabs and line breaks
// inside dropped.
std::string cleanedReference(std::string_view reference);

// Splits a reference; never fails (anything is at least a relative path).
UrlParts splitUrlReference(std::string_view reference);

// Puts the parts back together.
std::string joinUrlParts(const UrlParts& parts);

// Removes "." and ".." segments from a path (RFC 3986, 5.2.4).
std::string removeDotSegments(std::string_view path);

// The target URI of `reference` against the absolute URL `base` (RFC 3986,
// 5.2.2): absolute references with any case of scheme, "//host/...",
// "/root/...", "./" and "../" segments, queries and fragments. Leading and
// trailing spaces and control bytes are trimmed, and tabs and line breaks
// inside are dropped, as a browser does with an attribute value. Nothing when
// the base has no scheme.
std::optional<std::string> resolveUrlReference(std::string_view base, std::string_view reference);

// The URL without its fragment: what goes on the wire.
std::string withoutFragment(std::string_view url);

}  // namespace vel
