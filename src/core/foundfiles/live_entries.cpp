#include "core/foundfiles/live_entries.h"

#include <unordered_set>

namespace vel {

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string_view withoutQueryAndFragment(std::string_view url)
{
    return url.substr(0, url.find_first_of("?#"));
}

std::string_view urlPath(std::string_view url)
{
    url = withoutQueryAndFragment(url);
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return url;
    const std::size_t path = url.find('/', scheme + 3);
    return path == std::string_view::npos ? std::string_view() : url.substr(path);
}

bool pathHasExtension(std::string_view url, std::string_view extension)
{
    if (extension.empty())
        return false;
    const std::string_view path = urlPath(url);
    if (path.size() < extension.size() + 1)
        return false;
    const std::string_view tail = path.substr(path.size() - extension.size());
    if (path[path.size() - extension.size() - 1] != '.')
        return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (lowerAscii(tail[i]) != lowerAscii(extension[i]))
            return false;
    }
    return true;
}

LiveEntries liveEntries(const std::vector<std::string>& urls, std::string_view extension,
                        const std::vector<FoundEntry>& listed, std::string_view pageUrl,
                        std::size_t maxListed)
{
    LiveEntries result;
    std::unordered_set<std::string_view> seen;
    seen.reserve(listed.size() + urls.size());
    for (const FoundEntry& entry : listed)
        seen.insert(entry.text);
    const std::size_t room = maxListed > listed.size() ? maxListed - listed.size() : 0;
    std::vector<std::string_view> kept;
    for (const std::string& url : urls) {
        if (!pathHasExtension(url, extension))
            continue;
        const std::string_view file = std::string_view(url).substr(0, url.find('#'));
        if (!seen.insert(file).second)
            continue;
        if (kept.size() < room)
            kept.push_back(file);
        else
            ++result.leftOut;
    }
    result.entries.reserve(kept.size());
    for (const std::string_view file : kept)
        result.entries.push_back({std::string(file), std::string(file), std::string(pageUrl)});
    return result;
}

}  // namespace vel
