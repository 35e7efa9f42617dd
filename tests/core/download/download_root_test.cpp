#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "core/download/download_folder.h"
#include "core/download/download_root.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

namespace fs = std::filesystem;

TEST(DownloadRootTest, InstalledVelUsesTheUserDownloadsUnlessItHasDown)
{
    const fs::path working = "/home/u/portable";
    const fs::path data = "/home/u/.local/share/VEL";
    struct Case {
        std::string_view what;
        fs::path userDownloads;
        bool dataFolderHasDown;
        DownloadRoot root;
    };
    const Case cases[] = {
        {"portable", {}, false, working},
        {"portable, data folder with down", {}, true, working},
        {"installed", "/home/u/Downloads", false, DownloadRoot::ownFolder("/home/u/Downloads/VEL")},
        {"installed with down", "/home/u/Downloads", true, data},
        {"installed, download folder not absolute", "Downloads", false, data},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseDownloadRoot({working, data, c.userDownloads}, c.dataFolderHasDown), c.root)
            << c.what;
}

// VEL's own folder is made when missing and never looked into for `down`;
// 保存フォルダを開く shows the last batch's folder, today's or the parent.
TEST(DownloadRootTest, OwnFolderIsMadeAndShown)
{
    test::TempDir dir;
    const DownloadRoot own = DownloadRoot::ownFolder(dir.path() / "Downloads" / "VEL");
    const fs::path parent = own.folder;
    EXPECT_EQ(folderToShow(own, dir.path() / "gone", "20240506"), parent);
    EXPECT_TRUE(fs::is_directory(parent));
    fs::create_directory(parent / "down");
    ASSERT_TRUE(openDownloadFolder(own, "20240506").valid());
    EXPECT_TRUE(fs::is_directory(parent / "20240506"));
    EXPECT_TRUE(fs::is_empty(parent / "down"));

    struct Case {
        fs::path lastBatch;
        std::string_view today;
        fs::path shown;
    };
    const DownloadRoot beside = dir.path();
    fs::create_directories(dir.path() / "down" / "20240505" / "site");
    const Case cases[] = {
        {parent / "20240506", "20240507", parent / "20240506"},
        {{}, "20240506", parent / "20240506"},
        {parent / "20240501", "20240507", parent},
    };
    for (const Case& c : cases)
        EXPECT_EQ(folderToShow(own, c.lastBatch, c.today), c.shown) << c.lastBatch << c.today;
    EXPECT_EQ(folderToShow(beside, {}, "20240505"), dir.path() / "down" / "20240505");
    EXPECT_EQ(folderToShow(beside, {}, "20240506"), dir.path() / "down");
}

}  // namespace
}  // namespace vel
