#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vel {

// The lines of a settings text file. A line ends at LF or at CR LF; a CR not
// followed by LF is an ordinary byte of the line. A last line without a line
// break counts like the others; a final line break gives no extra line.
std::vector<std::string> splitTextLines(std::string_view bytes);

// The first line only, by the same rule; empty for empty bytes.
std::string firstTextLine(std::string_view bytes);

}  // namespace vel
