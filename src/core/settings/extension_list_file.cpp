#include "core/settings/extension_list_file.h"

#include <cstdint>
#include <system_error>
#include <utility>

#include "core/io/file_io.h"
#include "core/settings/text_lines.h"

namespace vel {

std::vector<std::string> parseExtensionList(std::string_view bytes)
{
    return splitTextLines(bytes);
}

std::string formatExtensionList(const std::vector<std::string>& entries)
{
    std::string bytes;
    for (const std::string& entry : entries) {
        bytes += entry;
        bytes += "\r\n";
    }
    return bytes;
}

std::vector<std::string> readExtensionList(const std::filesystem::path& directory)
{
    const FileRead read =
        readFileBounded(directory / kExtensionListFileName, kMaxExtensionListBytes);
    if (read.status != ReadStatus::Ok)
        return {};
    return parseExtensionList(read.bytes);
}

bool extensionListTooLarge(const std::filesystem::path& directory)
{
    std::error_code error;
    const std::uintmax_t size =
        std::filesystem::file_size(directory / kExtensionListFileName, error);
    return !error && size > kMaxExtensionListBytes;
}

bool saveExtensionList(const std::vector<std::string>& entries,
                       const std::filesystem::path& directory)
{
    // The list was read only up to the cap: writing it back would cut the file.
    if (extensionListTooLarge(directory))
        return false;
    return writeFileAtomically(directory / kExtensionListFileName, formatExtensionList(entries));
}

ChooserContents chooserContents(std::vector<std::string> items)
{
    ChooserContents contents;
    contents.selectedIndex = items.empty() ? -1 : 0;
    contents.items = std::move(items);
    return contents;
}

}  // namespace vel
