#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace vel {

// The only place where bytes in the program's code page meet Qt's Unicode text:
// widgets, the browser and file names convert here and nowhere else.
QString toQString(std::string_view bytes);
std::string fromQString(const QString& text);

}  // namespace vel
