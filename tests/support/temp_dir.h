#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace vel::test {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory, removed with its
// contents (write permission given back first) when the object goes.
class TempDir {
public:
    TempDir()
    {
        static std::atomic<int> counter{0};
        m_path = fs::temp_directory_path() / ("vel-settings-" + std::to_string(::getpid()) + "-"
                                              + std::to_string(counter++));
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        for (const auto& entry : fs::recursive_directory_iterator(m_path, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return m_path; }
    fs::path operator/(std::string_view name) const { return m_path / name; }

private:
    fs::path m_path;
};

inline void writeBytes(const fs::path& file, std::string_view bytes)
{
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// No write bit left (a directory stays searchable).
inline void makeReadOnly(const fs::path& path)
{
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

}  // namespace vel::test
