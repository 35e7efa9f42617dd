#include <algorithm>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/io/file_io.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::makeReadOnly;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

std::vector<std::string> entryNames(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicWrite, CreatesAndReplacesLeavingNoTemporaryFile)
{
    TempDir dir;
    ASSERT_TRUE(writeFileAtomically(dir / "f", "first, longer content"));
    ASSERT_TRUE(writeFileAtomically(dir / "f", std::string("sec\0nd", 6)));
    EXPECT_EQ(readBytes(dir / "f"), std::string("sec\0nd", 6));
    EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"f"});
}

TEST(AtomicWrite, InterruptedBeforeTheRenameLeavesTheOldFile)
{
    TempDir dir;
    writeBytes(dir / "config.bin", "old");
    {
        AtomicFileWriter writer(dir / "config.bin");
        ASSERT_TRUE(writer.write("new"));
        EXPECT_EQ(writer.temporaryPath().parent_path(), dir.path());
        EXPECT_EQ(readBytes(writer.temporaryPath()), "new");
        EXPECT_EQ(readBytes(dir / "config.bin"), "old");
        // A crash here leaves the temporary file behind: keep a copy as the stray.
        fs::copy_file(writer.temporaryPath(), dir / ".config.bin.tmp-stray");
    }
    EXPECT_EQ(readBytes(dir / "config.bin"), "old");
    EXPECT_EQ(entryNames(dir.path()), (std::vector<std::string>{".config.bin.tmp-stray", "config.bin"}));

    // The next save is not disturbed by the stray file.
    ASSERT_TRUE(writeFileAtomically(dir / "config.bin", "newer"));
    EXPECT_EQ(readBytes(dir / "config.bin"), "newer");
}

TEST(AtomicWrite, RefusesTargetsThatMayNotBeReplaced)
{
    TempDir dir;
    writeBytes(dir / "ro", "kept");
    makeReadOnly(dir / "ro");
    fs::create_directory(dir / "sub");
    EXPECT_FALSE(isWritable(dir / "ro"));
    EXPECT_FALSE(writeFileAtomically(dir / "ro", "x"));
    EXPECT_FALSE(writeFileAtomically(dir / "sub", "x"));
    EXPECT_FALSE(writeFileAtomically(dir / "missing" / "f", "x"));
    EXPECT_EQ(readBytes(dir / "ro"), "kept");
    EXPECT_EQ(entryNames(dir.path()), (std::vector<std::string>{"ro", "sub"}));

    // A directory without write permission refuses new files, also for root.
    makeReadOnly(dir / "sub");
    EXPECT_FALSE(writeFileAtomically(dir / "sub" / "f", "x"));
}

TEST(AtomicWrite, KeepsTheModeAndFollowsASymbolicLink)
{
    TempDir dir;
    writeBytes(dir / "real", "old");
    fs::permissions(dir / "real", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real", dir / "link");
    ASSERT_TRUE(writeFileAtomically(dir / "link", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(readBytes(dir / "real"), "new");
    EXPECT_EQ(fs::status(dir / "real").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(BoundedRead, StatusAndCap)
{
    TempDir dir;
    EXPECT_EQ(readFileBounded(dir / "none", 10).status, ReadStatus::Missing);
    EXPECT_EQ(readFileBounded(dir.path(), 10).status, ReadStatus::Missing);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(readFileBounded(dir / "fifo", 10).status, ReadStatus::Failed);

    writeBytes(dir / "f", "0123456789");
    const FileRead cut = readFileBounded(dir / "f", 4);
    EXPECT_EQ(cut.status, ReadStatus::Ok);
    EXPECT_EQ(cut.bytes, "0123");
    EXPECT_TRUE(cut.truncated);
    const FileRead whole = readFileBounded(dir / "f", 10);
    EXPECT_EQ(whole.bytes, "0123456789");
    EXPECT_FALSE(whole.truncated);
    EXPECT_EQ(readFileBounded(dir / "f", 1 << 20).bytes, "0123456789");
}

}  // namespace
}  // namespace vel
