#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vel {

// SHA-256 over bytes given piece by piece, as a download's body arrives.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const char* data, std::size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }

    // The digest of everything given so far as 64 lower-case hex digits, or
    // empty when the library failed (an empty digest matches no file). The
    // object then starts over.
    std::string hexDigest();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

// The SHA-256 of a whole byte string, as Sha256::hexDigest.
std::string sha256Hex(std::string_view bytes);

struct FileDigest {
    std::int64_t size = 0;
    std::string sha256;
};

// The size and SHA-256 of the regular file `relativePath` (file-system bytes,
// "/" between folders) inside the directory `dirFd`, read to its end. Nothing
// when it is missing, no regular file (a link at the last step included) or
// cannot be read.
std::optional<FileDigest> digestFileAt(int dirFd, const std::string& relativePath);

}  // namespace vel
