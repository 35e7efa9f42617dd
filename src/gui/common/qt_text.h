#pragma once

#include <string>
#include <string_view>

#include <QString>

#include "core/html/page_charset.h"

namespace vel {

// The only place where bytes in the program's code page meet Qt's Unicode text:
// widgets, the browser and file names convert here and nowhere else.
QString toQString(std::string_view bytes);
std::string fromQString(const QString& text);

// Bytes of a page: UTF-8 on a UTF-8 page, else the code page.
QString toQString(std::string_view bytes, PageCharset charset);

// The program's own texts from velcore, which are UTF-8.
QString fromUtf8(std::string_view text);

}  // namespace vel
