#pragma once

#include <string>
#include <string_view>

namespace vel {

// The directory URL that relative found-files entries are joined to, derived
// from a site row's URL: a page name (".htm", ".cgi" in the last segment) is cut
// off; any other last segment is taken for a directory.
std::string deriveBaseUrl(std::string_view rowUrl);

}  // namespace vel
