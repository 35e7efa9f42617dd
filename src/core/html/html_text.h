#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/html/page_charset.h"

namespace vel {

// The spaces HTML and CSS separate words with: space, tab, LF, FF, CR.
inline bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// An attribute value with its character references decoded as the HTML parser
// decodes them: "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&nbsp;" and
// numeric references ("&#38;", "&#x26;"). A named reference without its ";"
// stays as written when a letter, digit or "=" follows (so "?a=1&ampx=2"
// keeps its text). A reference to a character outside ASCII becomes UTF-8 on
// a UTF-8 page; on a code-page page it stays as written, since the code page
// module does not map Unicode. Anything else passes unchanged.
std::string decodeCharacterReferences(std::string_view value, PageCharset charset);

// The href of the page's first <base> element that has one, as written (its
// character references still in it); nothing when there is none.
std::optional<std::string> findBaseHref(std::string_view pageSource);

}  // namespace vel
