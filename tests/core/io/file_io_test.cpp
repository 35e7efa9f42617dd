#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/io/directory_handle.h"
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
    ASSERT_TRUE(writeFileAtomically(dir.path() / "f", "first, longer content"));
    ASSERT_TRUE(writeFileAtomically(dir.path() / "f", std::string("sec\0nd", 6)));
    EXPECT_EQ(readBytes(dir.path() / "f"), std::string("sec\0nd", 6));
    EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"f"});
}

TEST(AtomicWrite, InterruptedBeforeTheRenameLeavesTheOldFile)
{
    TempDir dir;
    writeBytes(dir.path() / "config.bin", "old");
    {
        AtomicFileWriter writer(dir.path() / "config.bin");
        ASSERT_TRUE(writer.write("new"));
        EXPECT_EQ(writer.temporaryPath().parent_path(), dir.path());
        EXPECT_EQ(readBytes(writer.temporaryPath()), "new");
        EXPECT_EQ(readBytes(dir.path() / "config.bin"), "old");
        // A crash here leaves the temporary file behind: keep a copy as the stray.
        fs::copy_file(writer.temporaryPath(), dir.path() / ".config.bin.tmp-stray");
    }
    EXPECT_EQ(readBytes(dir.path() / "config.bin"), "old");
    EXPECT_EQ(entryNames(dir.path()),
              (std::vector<std::string>{".config.bin.tmp-stray", "config.bin"}));

    // The next save is not disturbed by the stray file.
    ASSERT_TRUE(writeFileAtomically(dir.path() / "config.bin", "newer"));
    EXPECT_EQ(readBytes(dir.path() / "config.bin"), "newer");
}

TEST(AtomicWrite, RefusesTargetsThatMayNotBeReplaced)
{
    TempDir dir;
    writeBytes(dir.path() / "ro", "kept");
    makeReadOnly(dir.path() / "ro");
    fs::create_directory(dir.path() / "sub");
    EXPECT_FALSE(isWritable(dir.path() / "ro"));
    EXPECT_FALSE(writeFileAtomically(dir.path() / "ro", "x"));
    EXPECT_FALSE(writeFileAtomically(dir.path() / "sub", "x"));
    EXPECT_FALSE(writeFileAtomically(dir.path() / "missing" / "f", "x"));
    EXPECT_EQ(readBytes(dir.path() / "ro"), "kept");
    EXPECT_EQ(entryNames(dir.path()), (std::vector<std::string>{"ro", "sub"}));

    // A directory without write permission refuses new files, also for root.
    makeReadOnly(dir.path() / "sub");
    EXPECT_FALSE(writeFileAtomically(dir.path() / "sub" / "f", "x"));
}

TEST(Writable, ByPathAndInsideAnOpenDirectoryAlike)
{
    TempDir dir;
    writeBytes(dir.path() / "rw", "");
    writeBytes(dir.path() / "ro", "");
    makeReadOnly(dir.path() / "ro");
    fs::create_directory(dir.path() / "sub");
    fs::create_symlink("ro", dir.path() / "to-ro");
    const DirectoryHandle folder = DirectoryHandle::open(dir.path());
    ASSERT_TRUE(folder.valid());

    struct Case {
        std::string name;
        bool writable;
    };
    const Case cases[] = {
        {"rw", true},  {"ro", false}, {"to-ro", false},
        {"sub", true}, {".", true},   {"missing", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isWritable(dir.path() / c.name), c.writable) << c.name;
        EXPECT_EQ(isWritableAt(folder.get(), c.name), c.writable) << c.name;
    }
    EXPECT_FALSE(isWritableAt(-1, "rw"));

    // Also for root: a directory without write bits is read-only.
    makeReadOnly(dir.path());
    EXPECT_FALSE(isWritableAt(folder.get(), "."));
}

TEST(AtomicWrite, KeepsTheModeAndFollowsASymbolicLink)
{
    TempDir dir;
    writeBytes(dir.path() / "real", "old");
    fs::permissions(dir.path() / "real",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real", dir.path() / "link");
    ASSERT_TRUE(writeFileAtomically(dir.path() / "link", "new"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link"));
    EXPECT_EQ(readBytes(dir.path() / "real"), "new");
    EXPECT_EQ(fs::status(dir.path() / "real").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(Backup, TakesTheFirstNameThatIsFreeOrHoldsTheSameBytes)
{
    TempDir dir;
    const fs::path file = dir.path() / "config.bin";
    // Taken by something else than a file with these bytes: a longer file
    // that starts with them, a folder, a dangling link, a link to a file.
    writeBytes(dir.path() / "config.bin.bak", "keep-and-more");
    fs::create_directory(dir.path() / "config.bin.bak.1");
    fs::create_symlink("gone", dir.path() / "config.bin.bak.2");
    writeBytes(dir.path() / "elsewhere", "keep");
    fs::create_symlink("elsewhere", dir.path() / "config.bin.bak.3");

    EXPECT_EQ(keepBackupCopy(file, "keep"), dir.path() / "config.bin.bak.4");
    EXPECT_EQ(readBytes(dir.path() / "config.bin.bak.4"), "keep");
    // The same bytes again: that copy counts, nothing new is written.
    EXPECT_EQ(keepBackupCopy(file, "keep"), dir.path() / "config.bin.bak.4");
    EXPECT_EQ(keepBackupCopy(file, ""), dir.path() / "config.bin.bak.5");
    EXPECT_EQ(readBytes(dir.path() / "config.bin.bak"), "keep-and-more");
    EXPECT_EQ(readBytes(dir.path() / "elsewhere"), "keep");
    EXPECT_EQ(entryNames(dir.path()),
              (std::vector<std::string>{"config.bin.bak", "config.bin.bak.1", "config.bin.bak.2",
                                        "config.bin.bak.3", "config.bin.bak.4", "config.bin.bak.5",
                                        "elsewhere"}));

    // A folder that takes no new file keeps no copy.
    makeReadOnly(dir.path());
    EXPECT_EQ(keepBackupCopy(file, "new"), std::nullopt);
}

TEST(BoundedRead, StatusAndCap)
{
    TempDir dir;
    EXPECT_EQ(readFileBounded(dir.path() / "none", 10).status, ReadStatus::Missing);
    EXPECT_EQ(readFileBounded(dir.path(), 10).status, ReadStatus::Missing);
    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(readFileBounded(dir.path() / "fifo", 10).status, ReadStatus::Failed);

    writeBytes(dir.path() / "f", "0123456789");
    const FileRead cut = readFileBounded(dir.path() / "f", 4);
    EXPECT_EQ(cut.status, ReadStatus::Ok);
    EXPECT_EQ(cut.bytes, "0123");
    EXPECT_TRUE(cut.truncated);
    const FileRead whole = readFileBounded(dir.path() / "f", 10);
    EXPECT_EQ(whole.bytes, "0123456789");
    EXPECT_FALSE(whole.truncated);
    EXPECT_EQ(readFileBounded(dir.path() / "f", 1 << 20).bytes, "0123456789");
}

}  // namespace
}  // namespace vel
