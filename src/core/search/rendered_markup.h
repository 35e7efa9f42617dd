#pragma once

#include <functional>
#include <string_view>

#include "core/search/reference_values.h"

namespace vel {

// Reads markup as the browser serializes a live document (every attribute
// value in double quotes, its characters escaped) and reports, in document
// order, each value that names a resource: src, href, poster, background,
// data, lowsrc and xlink:href values, every srcset candidate, url(...) of
// style attributes, URLs in data-* attributes and the content of a <meta>
// that names a picture. Each <iframe> or <frame> start tag is reported where
// it stands (after its own values). The text of script, style and other raw
// text elements, comments and template contents (not part of the page shown)
// are skipped. Linear in the markup's size.
void scanRenderedMarkup(std::string_view markup, const ReferenceSink& onReference,
                        const std::function<void()>& onFrame);

}  // namespace vel
