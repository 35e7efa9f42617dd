#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/browser_cookies.h"
#include "core/foundfiles/found_entry.h"

namespace vel {

// What goes out for one found-files entry: the same for the batch, the
// preview, opening it in the browser and Space.
struct EntryRequest {
    // The absolute URL, without a fragment; empty when a browser would request
    // nothing for the entry (its value is no valid URL).
    std::string url;
    // An entry collected from the page the browser shows is requested as the
    // browser would request it: with that page as its referrer (never empty
    // then) and the browser's cookies for the URL (empty when none match).
    // Both stay empty for every other entry.
    std::string referer;
    std::string cookie;

    bool asBrowser() const { return !referer.empty(); }
};

// The request for an entry. A search's entry is fetched from the URL a browser
// resolves its written value to (character references decoded, against the
// page's <base href>, else the URL the page came from: resolveWebUrl); without
// such a base, from its listed URL (fullUrlOfEntry). An entry collected from the page the
// browser shows is fetched from its URL as it is, sent with its page as
// referrer and the cookies of `browserCookies` that go with that URL at `now`.
EntryRequest entryRequest(const FoundEntry& entry, const EntrySource& source,
                          const std::vector<BrowserCookie>& browserCookies = {},
                          std::chrono::sys_seconds now = {});

// The local file name of an entry, in the file system's bytes: the last
// segment of its listed URL, a query included, turned from the code page by
// `fileNameFromCodePage` (the bytes unchanged when it is empty, or when the
// page is UTF-8 already). An entry collected from the page the browser shows
// is named by its URL's path alone, whose bytes are ASCII or UTF-8.
std::string
entryLocalName(const FoundEntry& entry, const EntrySource& source,
               const std::function<std::string(std::string_view)>& fileNameFromCodePage);

// The batch leaves an entry out when it holds "ftp://" and not "http://".
bool batchSkipsEntry(const FoundEntry& entry);

// The listed URL of an entry's text: the text itself when it holds "http://"
// anywhere, otherwise BaseUrl followed directly by the text.
std::string fullUrlOfEntry(std::string_view text, std::string_view baseUrl);

}  // namespace vel
