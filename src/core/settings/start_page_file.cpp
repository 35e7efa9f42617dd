#include "core/settings/start_page_file.h"

#include "core/io/file_io.h"
#include "core/settings/text_lines.h"

namespace vel {

std::string parseStartPage(std::string_view bytes)
{
    return firstTextLine(bytes);
}

std::string readStartPage(const std::filesystem::path& directory)
{
    const FileRead read = readFileBounded(directory / kStartPageFileName, kMaxStartPageBytes);
    return read.status == ReadStatus::Ok ? parseStartPage(read.bytes) : std::string();
}

bool writeStartPage(const std::filesystem::path& directory, std::string_view url)
{
    std::string bytes(url);
    bytes += "\r\n";
    return writeFileAtomically(directory / kStartPageFileName, bytes);
}

}  // namespace vel
