#include "core/foundfiles/entry_url.h"

#include <optional>

#include "core/http/url_resolution.h"
#include "core/search/html_text.h"

namespace vel {

std::string fullUrlOfEntry(std::string_view entry, std::string_view baseUrl)
{
    if (entry.find("http://") != std::string_view::npos)
        return std::string(entry);
    std::string url;
    url.reserve(baseUrl.size() + entry.size());
    url.append(baseUrl);
    url.append(entry);
    return url;
}

std::string fetchUrlOfEntry(const FoundEntry& entry, std::string_view documentBase,
                            PageCharset charset, std::string_view baseUrl)
{
    // The browser resolved it already.
    if (entry.isLive())
        return entry.written;
    if (!documentBase.empty()) {
        const std::optional<std::string> resolved =
            resolveUrlReference(documentBase, decodeCharacterReferences(entry.written, charset));
        if (resolved)
            return withoutFragment(*resolved);
    }
    return fullUrlOfEntry(entry.text, baseUrl);
}

std::string fetchUrlOfEntry(const FoundEntry& entry, const EntrySource& source)
{
    return fetchUrlOfEntry(entry, source.documentBase, source.charset, source.baseUrl);
}

}  // namespace vel
