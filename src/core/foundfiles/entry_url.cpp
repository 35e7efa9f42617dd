#include "core/foundfiles/entry_url.h"

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

}  // namespace vel
