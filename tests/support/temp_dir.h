#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace vel::test {

namespace fs = std::filesystem;

// A fresh directory "vel-test-XXXXXX" under the system's temporary directory,
// removed with its contents when the object goes. Write and search permission
// is given back first, so a test may leave read-only files and folders behind.
class TempDir {
public:
    TempDir()
    {
        std::string name = (fs::temp_directory_path() / "vel-test-XXXXXX").string();
        if (!::mkdtemp(name.data()))
            throw std::system_error(errno, std::generic_category(), "mkdtemp " + name);
        m_path = name;
    }
    ~TempDir()
    {
        std::error_code ignored;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
        std::error_code walk;
        for (auto it = fs::recursive_directory_iterator(m_path, walk);
             !walk && it != fs::recursive_directory_iterator(); it.increment(walk)) {
            // A link is left alone: its target may lie outside the directory.
            if (!it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return m_path; }
    // The path of `name` (a file or folder, which need not exist) inside the directory.
    fs::path file(std::string_view name) const { return m_path / name; }

private:
    fs::path m_path;
};

// Writes the bytes as the whole file; throws when the file cannot be written,
// so a test never goes on from a set-up that did not happen.
inline void writeBytes(const fs::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

// The whole file's bytes; empty when it cannot be read.
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
