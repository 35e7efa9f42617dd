#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vel {

// One document of the page the browser shows, as its collection script read it.
struct RenderedDocument {
    std::string markup;  // the document element's serialization (UTF-8)
    std::string baseUrl;  // the document's base URL, as the browser serializes it
    // For each <iframe>/<frame> in document order, the index of its document
    // among the collected ones, or -1 when it could not be read (another origin).
    std::vector<int> frames;
    // What only the live document knows, resolved by the browser already:
    // chosen srcset candidates, computed styles, style sheet rules, loaded
    // resources.
    std::vector<std::string> otherUrls;
};

// The page's references in document order, ready but for the values whose
// resolution needs the browser.
struct ReferencePlan {
    std::vector<std::string> urls;  // an empty one awaits the browser
    std::vector<std::size_t> pendingSlots;  // index in urls of each pending value
    std::vector<std::pair<std::string, std::string>> pending;  // (value, base URL)
};

// At most this many references are kept from one page, and no more than this
// many bytes of URLs and pending values (a page with a huge base URL would
// otherwise copy it into every reference).
constexpr std::size_t kMaxRenderedReferences = 1000000;
constexpr std::size_t kMaxRenderedBytes = 128u << 20;

// Walks documents[0] and, where each frame stands, its frames' documents:
// every reference of the markup, then the document's other URLs. Values are
// stripped of leading and trailing spaces and controls; plain ones are joined
// to the base here, the rest await the browser. Linear in the markup's size.
// Once `stop` holds true the plan ends early with what it has (it runs off the
// GUI thread, and a new search or a closed window no longer wants it).
ReferencePlan planRenderedReferences(const std::vector<RenderedDocument>& documents,
                                     const std::atomic<bool>* stop = nullptr);

// The page's URLs: the plan with the browser's answers for its pending values
// in order (an empty answer: the value names no URL), each URL once, without
// data:, blob: and javascript: ones.
std::vector<std::string> finishRenderedReferences(ReferencePlan plan,
                                                  const std::vector<std::string>& resolved);

}  // namespace vel
