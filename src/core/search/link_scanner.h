#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "core/text/code_page.h"

namespace vel {

// 1-based position of the first occurrence of pattern in text that begins after
// position `after` (0 when there is none). An occurrence counts only when its
// first byte begins a character, and the search stops at the first NUL byte at
// or after its start. When the byte at `after` is the first byte of a
// double-byte character, the search starts after the whole character. An
// `after` of 0 or less searches from position 1; one at or beyond the text's
// length finds nothing.
int posAfter(std::string_view pattern, std::string_view text, int after);

// Where a scan found a link in the source: the link is
// source.substr(offset, length).
struct LinkSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
};

// Every stretch of source from a marker to the nearest suffix after it, in the
// order of the markers, that holds no '"', '>' or '<' (second bytes of
// double-byte characters aside), with the page read in the given code page (a
// UTF-8 page byte by byte). After a rejected stretch the next marker is
// sought after the marker's fifth byte, after an accepted one after the
// suffix's first byte. Stays linear in the source's length however the page is
// built; an error (out of memory) ends the scan with what was gathered.
std::vector<LinkSpan> scanAbsoluteLinkSpans(std::string_view source, std::string_view marker,
                                            std::string_view suffix, CodePage codePage);
// The same loop for attribute values: the excluded characters are space, '>'
// and '<'.
std::vector<LinkSpan> scanRelativeLinkSpans(std::string_view source, std::string_view marker,
                                            std::string_view suffix, CodePage codePage);

}  // namespace vel
