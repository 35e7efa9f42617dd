#pragma once

#include <string>
#include <string_view>

namespace vel {

// The full URL of a found-files entry: the entry itself when it holds "http://"
// anywhere, otherwise BaseUrl followed directly by the entry. Shared by the
// preview and the batch download so both fetch the same address.
std::string fullUrlOfEntry(std::string_view entry, std::string_view baseUrl);

}  // namespace vel
