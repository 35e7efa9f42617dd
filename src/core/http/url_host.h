#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vel {

// The host of an http or https URL as a browser reads and writes it (the URL
// Standard's host parser): "[...]" an IPv6 address, written compressed and in
// lower case; otherwise percent-escapes decoded, a name lower-cased, an
// international name in punycode (UTS #46, whatever the locale), a name ending
// in a number an IPv4 address in dotted form (also "0x7f.1" or "2130706433").
// Nothing for a host a browser rejects: empty, a bad address, a character no
// name may hold (space, "%", "<", "|", a control byte, ...). With `utf8`
// false the bytes above 0x7F are the code page's, which no name in punycode
// can be made of: a host holding any stays as written.
std::optional<std::string> parseUrlHost(std::string_view text, bool utf8);

}  // namespace vel
