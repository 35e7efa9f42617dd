#include "core/download/entry_request.h"

#include <optional>

#include "core/download/download_rules.h"
#include "core/foundfiles/live_entries.h"
#include "core/html/html_text.h"
#include "core/http/url_resolution.h"
#include "core/http/web_url.h"

namespace vel {

namespace {

// The URL a browser would fetch for a search's entry; empty when a browser
// would fetch none.
std::string resolvedUrl(const FoundEntry& entry, const EntrySource& source)
{
    if (!splitUrlReference(source.documentBase).scheme)
        return fullUrlOfEntry(entry.text, source.baseUrl);
    return resolveWebUrl(source.documentBase,
                         decodeCharacterReferences(entry.written, source.charset), source.charset)
        .value_or("");
}

}  // namespace

EntryRequest entryRequest(const FoundEntry& entry, const EntrySource& source,
                          const std::vector<BrowserCookie>& browserCookies,
                          std::chrono::sys_seconds now)
{
    if (!entry.isLive())
        return {resolvedUrl(entry, source), {}, {}};
    // The browser resolved it already.
    return {entry.written, entry.shownOn, cookieHeaderFor(entry.written, browserCookies, now)};
}

std::string entryLocalName(const FoundEntry& entry, const EntrySource& source,
                           const std::function<std::string(std::string_view)>& fileNameFromCodePage)
{
    // A query never becomes part of the name of a URL the browser gave.
    if (entry.isLive())
        return localFileName(withoutQueryAndFragment(entry.written));
    const std::string name = localFileName(fullUrlOfEntry(entry.text, source.baseUrl));
    const bool utf8 = source.charset == PageCharset::Utf8;
    return utf8 || !fileNameFromCodePage ? name : fileNameFromCodePage(name);
}

bool batchSkipsEntry(const FoundEntry& entry)
{
    const std::string_view value = entry.isLive() ? entry.written : entry.text;
    return value.find("http://") == std::string_view::npos
        && value.find("ftp://") != std::string_view::npos;
}

std::string fullUrlOfEntry(std::string_view text, std::string_view baseUrl)
{
    if (text.find("http://") != std::string_view::npos)
        return std::string(text);
    std::string url;
    url.reserve(baseUrl.size() + text.size());
    url.append(baseUrl);
    url.append(text);
    return url;
}

}  // namespace vel
