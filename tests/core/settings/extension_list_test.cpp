#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/settings/extension_list_editor.h"
#include "core/settings/extension_list_file.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

using Lines = std::vector<std::string>;
using test::makeReadOnly;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

TEST(ExtensionListFile, OneEntryPerLine)
{
    const std::pair<std::string, Lines> cases[] = {
        {"", {}},
        {"gif", {"gif"}},
        {"gif\r\n", {"gif"}},
        {"gif\n", {"gif"}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"gif\r\n\r\njpg\r\n", {"gif", "", "jpg"}},
        {"gif\n\njpg", {"gif", "", "jpg"}},
        {" gif \r\n", {" gif "}},
        {"\x83\x54\r\n", {"\x83\x54"}},
        // A CR without LF ends no line.
        {"a\rb\r\n", {"a\rb"}},
        {"gif\r", {"gif\r"}},
    };
    for (const auto& [bytes, entries] : cases)
        EXPECT_EQ(parseExtensionList(bytes), entries) << testing::PrintToString(bytes);
}

TEST(ExtensionListFile, WritesCrLfPerEntryAndReadsItBack)
{
    TempDir dir;
    EXPECT_TRUE(readExtensionList(dir.path()).empty());
    for (const Lines& entries : {Lines{}, Lines{""}, Lines{"gif", "", "jpg", "GIF"}}) {
        ASSERT_TRUE(saveExtensionList(entries, dir.path()));
        EXPECT_EQ(readExtensionList(dir.path()), entries);
    }
    EXPECT_EQ(readBytes(dir.file("config.lis")), "gif\r\n\r\njpg\r\nGIF\r\n");
    ASSERT_TRUE(saveExtensionList({}, dir.path()));
    EXPECT_EQ(std::filesystem::file_size(dir.file("config.lis")), 0u);

    writeBytes(dir.file("config.lis"), "gif\r\n");
    makeReadOnly(dir.file("config.lis"));
    EXPECT_FALSE(saveExtensionList({"jpg"}, dir.path()));
    EXPECT_EQ(readExtensionList(dir.path()), Lines{"gif"});
}

TEST(ExtensionListFile, ALongListIsReadWholeAndOneTooLongIsNeverRewritten)
{
    // Lines of "e000000\r\n" .. : 9 bytes each.
    const auto listOf = [](std::size_t bytes) {
        Lines entries;
        for (std::size_t i = 0; entries.size() * 9 < bytes; ++i) {
            std::string entry = std::to_string(i);
            entries.push_back("e" + std::string(6 - entry.size(), '0') + entry);
        }
        return entries;
    };
    TempDir dir;
    const Lines longList = listOf(200 * 1024);
    writeBytes(dir.file("config.lis"), formatExtensionList(longList));
    EXPECT_FALSE(extensionListTooLarge(dir.path()));
    EXPECT_EQ(readExtensionList(dir.path()), longList);
    ASSERT_TRUE(saveExtensionList(readExtensionList(dir.path()), dir.path()));
    EXPECT_EQ(readBytes(dir.file("config.lis")), formatExtensionList(longList));

    const std::string tooLong = formatExtensionList(listOf(kMaxExtensionListBytes + 1));
    ASSERT_GT(tooLong.size(), kMaxExtensionListBytes);
    writeBytes(dir.file("config.lis"), tooLong);
    EXPECT_TRUE(extensionListTooLarge(dir.path()));
    EXPECT_FALSE(readExtensionList(dir.path()).empty());
    EXPECT_FALSE(saveExtensionList({"gif"}, dir.path()));
    EXPECT_EQ(readBytes(dir.file("config.lis")), tooLong);

    std::filesystem::remove(dir.file("config.lis"));
    EXPECT_FALSE(extensionListTooLarge(dir.path()));
    std::filesystem::create_directory(dir.file("config.lis"));
    EXPECT_FALSE(extensionListTooLarge(dir.path()));
}

TEST(ExtensionListFile, ChooserSelectsItsFirstItem)
{
    EXPECT_EQ(chooserContents({}).selectedIndex, -1);
    EXPECT_EQ(chooserContents({"jpg", "gif"}), (ChooserContents{{"jpg", "gif"}, 0}));
}

TEST(ExtensionListEditor, AddRefusesExactDuplicatesOnly)
{
    ExtensionListEditor editor;
    editor.reload({"jpg"});
    using R = ExtensionListEditor::AddResult;
    const std::pair<const char*, R> steps[] = {
        {"gif", R::Added}, {"gif", R::Duplicate}, {"GIF", R::Added},    {"gif ", R::Added},
        {"", R::Added},    {"", R::Duplicate},    {"jpg", R::Duplicate}};
    for (const auto& [entry, result] : steps)
        EXPECT_EQ(editor.add(entry), result) << entry;
    EXPECT_EQ(editor.items(), (Lines{"jpg", "gif", "GIF", "gif ", ""}));
}

TEST(ExtensionListEditor, DeleteRemovesTheSelectedItemOnly)
{
    ExtensionListEditor editor;
    editor.reload({"a", "b", "c"});
    EXPECT_FALSE(editor.deleteSelected());  // nothing selected after showing

    editor.setSelectedIndex(1);
    editor.add("d");  // adding keeps the selection
    EXPECT_TRUE(editor.deleteSelected());
    EXPECT_EQ(editor.items(), (Lines{"a", "c", "d"}));
    EXPECT_EQ(editor.selectedIndex(), -1);
    EXPECT_FALSE(editor.deleteSelected());

    editor.setSelectedIndex(3);  // past the end selects nothing
    EXPECT_FALSE(editor.deleteSelected());

    editor.setSelectedIndex(2);
    editor.reload({"x"});  // showing again drops the edits and the selection
    EXPECT_EQ(editor.items(), Lines{"x"});
    EXPECT_EQ(editor.selectedIndex(), -1);
}

}  // namespace
}  // namespace vel
