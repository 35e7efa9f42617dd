#include <cerrno>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/io/directory_handle.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeBytes;

bool isOpenDescriptor(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

ino_t inodeOf(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? st.st_ino : 0;
}

ino_t inodeOf(const fs::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(DirectoryHandle, OpensDirectoriesOnly)
{
    TempDir dir;
    fs::create_directory(dir.path() / "sub");
    fs::create_directory_symlink("sub", dir.path() / "link");
    writeBytes(dir.path() / "file", "");

    const DirectoryHandle top = DirectoryHandle::open(dir.path());
    ASSERT_TRUE(top.valid());
    EXPECT_EQ(inodeOf(top.get()), inodeOf(dir.path()));
    EXPECT_TRUE(::fcntl(top.get(), F_GETFD) & FD_CLOEXEC);
    EXPECT_EQ(inodeOf(DirectoryHandle::openAt(top.get(), "sub").get()),
              inodeOf(dir.path() / "sub"));
    EXPECT_EQ(inodeOf(DirectoryHandle::openAt(top.get(), "link").get()),
              inodeOf(dir.path() / "sub"));

    EXPECT_FALSE(DirectoryHandle::open(dir.path() / "file").valid());
    EXPECT_FALSE(DirectoryHandle::open(dir.path() / "missing").valid());
    EXPECT_FALSE(DirectoryHandle::open("").valid());
    EXPECT_FALSE(DirectoryHandle::openAt(top.get(), "file").valid());
    EXPECT_FALSE(DirectoryHandle::openAt(top.get(), "missing").valid());
    EXPECT_FALSE(DirectoryHandle::openAt(top.get(), "").valid());
    // No negative descriptor stands for the current directory.
    EXPECT_FALSE(DirectoryHandle::openAt(-1, ".").valid());
    EXPECT_FALSE(DirectoryHandle::openAt(AT_FDCWD, ".").valid());
    EXPECT_FALSE(DirectoryHandle().valid());
    EXPECT_EQ(DirectoryHandle().get(), -1);
}

TEST(DirectoryHandle, OwnsItsDescriptorAcrossMoves)
{
    TempDir dir;
    int fd = -1;
    {
        DirectoryHandle first = DirectoryHandle::open(dir.path());
        fd = first.get();
        ASSERT_GE(fd, 0);

        DirectoryHandle second(std::move(first));
        EXPECT_FALSE(first.valid());
        EXPECT_EQ(second.get(), fd);

        DirectoryHandle third = DirectoryHandle::open(dir.path());
        const int replaced = third.get();
        third = std::move(second);
        EXPECT_EQ(third.get(), fd);
        EXPECT_FALSE(second.valid());
        EXPECT_FALSE(isOpenDescriptor(replaced));
        EXPECT_TRUE(isOpenDescriptor(fd));
    }
    EXPECT_FALSE(isOpenDescriptor(fd));
}

}  // namespace
}  // namespace vel
