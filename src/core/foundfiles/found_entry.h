#pragma once

#include <string>

#include "core/search/page_charset.h"

namespace vel {

// One entry of the found-files list, in the page's bytes: the text the list
// shows (which also names the local file), and the value as the page wrote
// it, which is what a browser would resolve and fetch.
struct FoundEntry {
    std::string text;
    std::string written;

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
