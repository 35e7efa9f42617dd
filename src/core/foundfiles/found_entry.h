#pragma once

#include <string>

namespace vel {

// One entry of the found-files list, in the page's bytes: the text the list
// shows (which also names the local file), and the value as the page wrote
// it, which is what a browser would resolve and fetch.
struct FoundEntry {
    std::string text;
    std::string written;

    friend bool operator==(const FoundEntry&, const FoundEntry&) = default;
};

}  // namespace vel
