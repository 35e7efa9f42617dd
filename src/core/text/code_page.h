#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

// The code page that page sources, grid cells and settings files are written in.
// Shift-JIS (CP932) is what the program's users and their pages use; the
// single-byte setting treats every byte as a character of its own.
enum class CodePage { Cp932, SingleByte };

// How a page's bytes are read: in the program's code page (Shift-JIS unless
// set otherwise), or as UTF-8.
enum class PageCharset { CodePage, Utf8 };

CodePage currentCodePage();
void setCurrentCodePage(CodePage codePage);

// True when the byte may begin a double-byte character in the current code page
// (CP932: 0x81-0x9F and 0xE0-0xFC).
bool isLeadByte(unsigned char byte);
// The same in a given code page.
bool isLeadByte(unsigned char byte, CodePage codePage);

// Which bytes of a text begin a character. A byte is the second byte of a
// double-byte character when the unbroken run of lead bytes right before it has
// odd length. Built in one pass, so any number of tests stays linear in the
// text's length however long the runs of lead bytes are.
class CharBoundaries {
public:
    explicit CharBoundaries(std::string_view text);
    // In a given code page rather than the current one (a UTF-8 page is read
    // byte by byte: every ASCII byte stands alone there).
    CharBoundaries(std::string_view text, CodePage codePage);

    // index is 0-based; an index at or past the end is never a character start.
    bool beginsCharacter(std::size_t index) const
    {
        return index < m_starts.size() && m_starts[index];
    }

private:
    std::vector<bool> m_starts;
};

// Searches text for pattern from the 0-based index `from` on. An occurrence
// counts only when its first byte begins a character; the search stops at the
// first NUL byte at or after `from`. Returns the 0-based index of the match or
// npos. An empty pattern or an empty stretch never matches.
std::size_t findCharAligned(std::string_view pattern, std::string_view text, std::size_t from,
                            const CharBoundaries& boundaries);

// The same, for a single search: computes the boundaries itself.
std::size_t findCharAligned(std::string_view pattern, std::string_view text, std::size_t from = 0);

// ASCII A-Z to a-z; every other byte, the second bytes of double-byte
// characters included, stays as it is.
std::string toLowerAscii(std::string_view text);

// Backslashes read as "/", leaving the second bytes of double-byte characters
// alone (0x5C is a valid second byte in Shift-JIS).
std::string backslashesToSlashes(std::string_view text);

}  // namespace vel
