#include "core/history/file_digest.h"

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel {

namespace {

constexpr std::size_t kReadSize = 256 * 1024;

}  // namespace

struct Sha256::Context {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool ok = false;

    Context() { start(); }
    ~Context() { EVP_MD_CTX_free(context); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    void start() { ok = context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1; }
};

Sha256::Sha256()
    : m_context(std::make_unique<Context>())
{}

Sha256::~Sha256() = default;

void Sha256::update(const char* data, std::size_t size)
{
    if (m_context->ok && size > 0)
        m_context->ok = EVP_DigestUpdate(m_context->context, data, size) == 1;
}

std::string Sha256::hexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    std::string hex;
    if (m_context->ok && EVP_DigestFinal_ex(m_context->context, digest, &length) == 1) {
        static constexpr char kDigits[] = "0123456789abcdef";
        for (unsigned int i = 0; i < length; ++i) {
            hex.push_back(kDigits[digest[i] >> 4]);
            hex.push_back(kDigits[digest[i] & 0x0f]);
        }
    }
    m_context->start();
    return hex;
}

std::string sha256Hex(std::string_view bytes)
{
    Sha256 digest;
    digest.update(bytes);
    return digest.hexDigest();
}

std::optional<FileDigest> digestFileAt(int dirFd, const std::string& relativePath)
{
    if (dirFd < 0 || relativePath.empty())
        return std::nullopt;
    // O_NONBLOCK: a FIFO put in a file's place must not hang the batch.
    const int fd = ::openat(dirFd, relativePath.c_str(),
                            O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<FileDigest> result;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        Sha256 digest;
        std::vector<char> buffer(kReadSize);
        std::int64_t size = 0;
        bool ok = true;
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                ok = got == 0;
                break;
            }
            digest.update(buffer.data(), static_cast<std::size_t>(got));
            size += got;
        }
        std::string hex = digest.hexDigest();
        if (ok && !hex.empty())
            result = FileDigest{size, std::move(hex)};
    }
    ::close(fd);
    return result;
}

}  // namespace vel
