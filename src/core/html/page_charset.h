#pragma once

#include <string_view>

#include "core/text/code_page.h"

namespace vel {

// The page's declared character set: the Content-Type header's `charset`,
// else a <meta charset> or http-equiv declaration in the page's first 1024
// bytes, else a UTF-8 byte-order mark. An undeclared page, or one declared in
// another set, keeps the code page.
PageCharset detectPageCharset(std::string_view contentType, std::string_view pageSource);

// The code page the link scanners read the page in: a UTF-8 page byte by byte.
CodePage scanningCodePage(PageCharset charset);

}  // namespace vel
