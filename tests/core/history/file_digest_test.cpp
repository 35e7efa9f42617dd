#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/history/file_digest.h"
#include "core/io/directory_handle.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr const char* kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

TEST(Sha256, PiecesGiveTheDigestOfTheWhole)
{
    const struct {
        std::vector<std::string> pieces;
        const char* hex;
    } cases[] = {
        {{}, kEmpty},
        {{"abc"}, kAbc},
        {{"a", "", "bc"}, kAbc},
    };
    Sha256 digest;
    for (const auto& c : cases) {
        for (const std::string& piece : c.pieces)
            digest.update(piece);
        // The same object, reused: each digest starts over.
        EXPECT_EQ(digest.hexDigest(), c.hex);
    }
}

TEST(Sha256, FileDigestThroughTheDownloadFolder)
{
    test::TempDir dir;
    fs::create_directories(dir.file("20240506"));
    const std::string body(600 * 1024, 'x');  // beyond one read
    test::writeBytes(dir.file("20240506") / "a.bin", body);
    test::writeBytes(dir.file("20240506") / "abc", "abc");
    fs::create_symlink("abc", dir.file("20240506") / "link");
    const DirectoryHandle root = DirectoryHandle::open(dir.path());

    const std::optional<FileDigest> big = digestFileAt(root.get(), "20240506/a.bin");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->size, static_cast<std::int64_t>(body.size()));
    EXPECT_EQ(big->sha256, sha256Hex(body));
    const std::optional<FileDigest> small = digestFileAt(root.get(), "20240506/abc");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->sha256, kAbc);
    for (const char* notAFile : {"20240506/missing", "20240506/link", "20240506", ""})
        EXPECT_FALSE(digestFileAt(root.get(), notAFile)) << notAFile;
}

}  // namespace
}  // namespace vel
