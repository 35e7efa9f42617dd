#pragma once

#include <atomic>
#include <cstddef>
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

// The same reading, stopped at each frame so a caller can read the frame's
// document before going on, without nesting calls (a page may hold frames
// nested thousands deep). Only the attributes that may name a resource are
// kept while a start tag is read, at most kMaxKeptAttributes of them, so a tag
// of millions of bare attributes costs no memory.
class RenderedMarkupReader {
public:
    static constexpr std::size_t kMaxKeptAttributes = 1024;

    // Reading ends early, as at the markup's end, once `stop` holds true
    // (asked before each tag).
    explicit RenderedMarkupReader(std::string_view markup,
                                  const std::atomic<bool>* stop = nullptr)
        : m_markup(markup)
        , m_stop(stop)
    {}

    // Reports references up to and including the next <iframe> or <frame>
    // start tag's values; true when it stopped at such a tag, false at the end.
    bool readToNextFrame(const ReferenceSink& onReference);

private:
    std::string_view m_markup;
    const std::atomic<bool>* m_stop;
    std::size_t m_at = 0;
    int m_templates = 0;
};

}  // namespace vel
