#include <gtest/gtest.h>

#include "core/io/program_dirs.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

using test::makeReadOnly;
using test::TempDir;

TEST(ProgramDirectory, ExecutableDirectoryWhenWritable)
{
    TempDir exe;
    TempDir data;
    EXPECT_EQ(programDirectory(exe.path(), (data.file("vel")).string()), exe.path());
    EXPECT_FALSE(std::filesystem::exists(data.file("vel")));
}

TEST(ProgramDirectory, PerUserDirectoryCreatedWhenTheExecutableDirectoryIsReadOnly)
{
    TempDir exe;
    TempDir data;
    makeReadOnly(exe.path());
    const auto perUser = data.file("share") / "vel";
    EXPECT_EQ(programDirectory(exe.path(), perUser.string()), perUser);
    EXPECT_TRUE(std::filesystem::is_directory(perUser));
    EXPECT_EQ(programDirectory(exe.path(), ""), exe.path());
}

}  // namespace
}  // namespace vel
