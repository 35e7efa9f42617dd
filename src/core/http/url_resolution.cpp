#include "core/http/url_resolution.h"

#include <cstddef>

#include "core/text/code_page.h"

namespace vel {

namespace {

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSchemeChar(char c)
{
    return isAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

}  // namespace

std::string cleanedReference(std::string_view reference)
{
    auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!reference.empty() && isTrimmed(reference.front()))
        reference.remove_prefix(1);
    while (!reference.empty() && isTrimmed(reference.back()))
        reference.remove_suffix(1);
    std::string cleaned;
    cleaned.reserve(reference.size());
    for (const char c : reference) {
        if (c != '\t' && c != '\n' && c != '\r')
            cleaned.push_back(c);
    }
    return cleaned;
}

namespace {

// Everything of the base path up to and including its last "/", after which the
// reference's path is appended (RFC 3986, 5.2.3).
std::string mergePaths(const UrlParts& base, std::string_view referencePath)
{
    if (base.authority && base.path.empty())
        return "/" + std::string(referencePath);
    const std::size_t slash = base.path.rfind('/');
    if (slash == std::string::npos)
        return std::string(referencePath);
    return base.path.substr(0, slash + 1) + std::string(referencePath);
}

}  // namespace

UrlParts splitUrlReference(std::string_view reference)
{
    UrlParts parts;
    std::string_view rest = reference;

    if (const std::size_t hash = rest.find('#'); hash != std::string_view::npos) {
        parts.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (const std::size_t question = rest.find('?'); question != std::string_view::npos) {
        parts.query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    // A scheme is letters and the like up to the first ":", before any "/".
    if (!rest.empty() && isAlpha(rest.front())) {
        std::size_t i = 1;
        while (i < rest.size() && isSchemeChar(rest[i]))
            ++i;
        if (i < rest.size() && rest[i] == ':') {
            parts.scheme = toLowerAscii(rest.substr(0, i));
            rest = rest.substr(i + 1);
        }
    }
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        parts.authority = std::string(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    parts.path = std::string(rest);
    return parts;
}

std::string joinUrlParts(const UrlParts& parts)
{
    std::string url;
    if (parts.scheme)
        url += *parts.scheme + ":";
    if (parts.authority)
        url += "//" + *parts.authority;
    url += parts.path;
    if (parts.query)
        url += "?" + *parts.query;
    if (parts.fragment)
        url += "#" + *parts.fragment;
    return url;
}

std::string removeDotSegments(std::string_view path)
{
    std::string output;
    std::string_view input = path;
    while (!input.empty()) {
        if (input.substr(0, 3) == "../") {
            input.remove_prefix(3);
        } else if (input.substr(0, 2) == "./") {
            input.remove_prefix(2);
        } else if (input.substr(0, 3) == "/./") {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.substr(0, 4) == "/../" || input == "/..") {
            input = input.size() == 3 ? std::string_view("/") : input.substr(3);
            const std::size_t slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            // The first segment, with its leading "/" if any, moves to the output.
            const std::size_t next = input.find('/', input.front() == '/' ? 1 : 0);
            const std::size_t length = next == std::string_view::npos ? input.size() : next;
            output.append(input.substr(0, length));
            input.remove_prefix(length);
        }
    }
    return output;
}

std::optional<std::string> resolveUrlReference(std::string_view base, std::string_view reference)
{
    const UrlParts baseParts = splitUrlReference(cleanedReference(base));
    if (!baseParts.scheme)
        return std::nullopt;
    const UrlParts ref = splitUrlReference(cleanedReference(reference));

    UrlParts target;
    if (ref.scheme) {
        target.scheme = ref.scheme;
        target.authority = ref.authority;
        target.path = removeDotSegments(ref.path);
        target.query = ref.query;
    } else {
        target.scheme = baseParts.scheme;
        if (ref.authority) {
            target.authority = ref.authority;
            target.path = removeDotSegments(ref.path);
            target.query = ref.query;
        } else {
            target.authority = baseParts.authority;
            if (ref.path.empty()) {
                target.path = baseParts.path;
                target.query = ref.query ? ref.query : baseParts.query;
            } else {
                target.path = ref.path.front() == '/'
                    ? removeDotSegments(ref.path)
                    : removeDotSegments(mergePaths(baseParts, ref.path));
                target.query = ref.query;
            }
        }
    }
    target.fragment = ref.fragment;
    return joinUrlParts(target);
}

std::string withoutFragment(std::string_view url)
{
    return std::string(url.substr(0, url.find('#')));
}

}  // namespace vel
