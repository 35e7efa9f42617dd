#pragma once

#include <string>
#include <string_view>

#include "core/foundfiles/found_entry.h"
#include "core/search/page_charset.h"

namespace vel {

// The full URL of a found-files entry: the entry itself when it holds "http://"
// anywhere, otherwise BaseUrl followed directly by the entry. Shared by the
// preview and the batch download so both fetch the same address.
std::string fullUrlOfEntry(std::string_view entry, std::string_view baseUrl);

// The URL a browser would fetch for the entry: its value as written, character
// references decoded, resolved against the document's base URL (the page's
// <base href>, else the URL the page came from), without a fragment. Without
// a document base, or when that base is no absolute URL, the entry's full URL
// as above. An entry collected from the page the browser shows is its URL.
std::string fetchUrlOfEntry(const FoundEntry& entry, std::string_view documentBase,
                            PageCharset charset, std::string_view baseUrl);
std::string fetchUrlOfEntry(const FoundEntry& entry, const EntrySource& source);

}  // namespace vel
