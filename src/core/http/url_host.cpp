#include "core/http/url_host.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <idn2.h>

#include "core/text/code_page.h"

namespace vel {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0
            && hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Control bytes, space, # % / : < > ? @ [ \ ] ^ | and DEL.
bool isForbiddenInDomain(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F
        || std::string_view("#%/:<>?@[\\]^|").find(c) != std::string_view::npos;
}

// One part of an IPv4 address: decimal, octal after a "0", hex after "0x".
// Large values saturate above 2^32, which no part may reach.
std::optional<std::uint64_t> ipv4Number(std::string_view part)
{
    if (part.empty())
        return std::nullopt;
    unsigned radix = 10;
    if (part.size() >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        radix = 16;
        part.remove_prefix(2);
    } else if (part.size() >= 2 && part[0] == '0') {
        radix = 8;
        part.remove_prefix(1);
    }
    std::uint64_t value = 0;
    for (const char c : part) {
        const int digit = hexValue(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= radix)
            return std::nullopt;
        value = std::min<std::uint64_t>(value * radix + static_cast<unsigned>(digit), 1ULL << 40);
    }
    return value;
}

std::vector<std::string_view> dotSeparated(std::string_view domain)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t dot = domain.find('.', start);
        parts.push_back(domain.substr(start, dot - start));
        if (dot == std::string_view::npos)
            return parts;
        start = dot + 1;
    }
}

// A trailing empty part ("1.2.3.4.") counts for nothing.
std::vector<std::string_view> ipv4Parts(std::string_view domain)
{
    std::vector<std::string_view> parts = dotSeparated(domain);
    if (parts.size() > 1 && parts.back().empty())
        parts.pop_back();
    return parts;
}

bool endsInNumber(std::string_view domain)
{
    const std::string_view last = ipv4Parts(domain).back();
    if (!last.empty()
        && std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return true;
    return ipv4Number(last).has_value();
}

std::optional<std::string> ipv4Address(std::string_view domain)
{
    const std::vector<std::string_view> parts = ipv4Parts(domain);
    if (parts.size() > 4)
        return std::nullopt;
    std::vector<std::uint64_t> numbers;
    for (const std::string_view part : parts) {
        const std::optional<std::uint64_t> number = ipv4Number(part);
        if (!number)
            return std::nullopt;
        numbers.push_back(*number);
    }
    // Every part but the last is one byte; the last fills the bytes left.
    std::uint64_t address = numbers.back();
    if (address >= 1ULL << (8 * (5 - numbers.size())))
        return std::nullopt;
    for (std::size_t i = 0; i + 1 < numbers.size(); ++i) {
        if (numbers[i] > 255)
            return std::nullopt;
        address += numbers[i] << (8 * (3 - i));
    }
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "."
        + std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::optional<std::string> ipv6Address(std::string_view text)
{
    in6_addr address{};
    if (::inet_pton(AF_INET6, std::string(text).c_str(), &address) != 1)
        return std::nullopt;
    std::array<unsigned, 8> pieces{};
    for (std::size_t i = 0; i < pieces.size(); ++i)
        pieces[i] = address.s6_addr[2 * i] * 256u + address.s6_addr[2 * i + 1];
    // The first longest run of two or more zero pieces is written "::".
    std::size_t compress = pieces.size();
    std::size_t longest = 1;
    for (std::size_t i = 0; i < pieces.size();) {
        std::size_t end = i;
        while (end < pieces.size() && pieces[end] == 0)
            ++end;
        if (end - i > longest) {
            compress = i;
            longest = end - i;
        }
        i = end == i ? i + 1 : end;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "[";
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i == compress) {
            out += i == 0 ? "::" : ":";
            i += longest - 1;
            continue;
        }
        bool digits = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned nibble = (pieces[i] >> shift) & 0xF;
            if (nibble != 0 || digits || shift == 0) {
                out.push_back(kHex[nibble]);
                digits = true;
            }
        }
        if (i + 1 < pieces.size())
            out.push_back(':');
    }
    out.push_back(']');
    return out;
}

struct FreeDeleter {
    void operator()(char* text) const { ::idn2_free(text); }
};

// UTS #46 processing to ASCII, non-transitional, from UTF-8 (no locale).
std::optional<std::string> punycodeName(const std::string& utf8Name)
{
    if (utf8Name.find('\0') != std::string::npos)
        return std::nullopt;
    char* ascii = nullptr;
    const int rc = ::idn2_lookup_u8(reinterpret_cast<const std::uint8_t*>(utf8Name.c_str()),
                                    reinterpret_cast<std::uint8_t**>(&ascii),
                                    IDN2_NONTRANSITIONAL | IDN2_NFC_INPUT);
    const std::unique_ptr<char, FreeDeleter> owner(ascii);
    if (rc != IDN2_OK || !ascii)
        return std::nullopt;
    return std::string(ascii);
}

}  // namespace

std::optional<std::string> parseUrlHost(std::string_view text, bool utf8)
{
    if (!text.empty() && text.front() == '[') {
        if (text.size() < 2 || text.back() != ']')
            return std::nullopt;
        return ipv6Address(text.substr(1, text.size() - 2));
    }
    const std::string decoded = percentDecoded(text);
    const bool ascii = std::all_of(decoded.begin(), decoded.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii && !utf8)
        return std::string(text);
    std::optional<std::string> name = ascii ? toLowerAscii(decoded) : punycodeName(decoded);
    if (!name || name->empty() || std::any_of(name->begin(), name->end(), isForbiddenInDomain))
        return std::nullopt;
    if (endsInNumber(*name))
        return ipv4Address(*name);
    return name;
}

}  // namespace vel
