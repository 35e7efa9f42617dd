#pragma once

#include <string>

#include "core/html/page_charset.h"

namespace vel {

// One entry of the found-files list, in the page's bytes: the text the list
// shows (which also names the local file), and the value as the page wrote
// it, which is what a browser would resolve and fetch. An entry collected from
// the page the browser shows also keeps that page's URL: it is an absolute URL
// already, fetched as it is, named by its path, and sent with that page as its
// referrer.
struct FoundEntry {
    std::string text;
    std::string written;
    std::string shownOn{};

    // Collected from the page the browser shows rather than from its source.
    bool isLive() const { return !shownOn.empty(); }

    friend bool operator==(const FoundEntry&, const FoundEntry&) = default;
};

// Where a search's entries came from: the directory URL listed entries are
// joined to (from the site row), the URL the page's values resolve against
// (empty when unknown), and how the page's bytes are read.
struct EntrySource {
    std::string baseUrl;
    std::string documentBase;
    PageCharset charset = PageCharset::CodePage;
};

}  // namespace vel
