#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/sitelist/site_list_file.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

using test::makeReadOnly;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

std::vector<SiteRecord> numberedSites(int count)
{
    std::vector<SiteRecord> records;
    for (int i = 1; i <= count; ++i)
        records.push_back({i, "site" + std::to_string(i), "http://s" + std::to_string(i) + "/"});
    return records;
}

TEST(SiteListFile, LoadingKeepsOneEmptyRowBelowTheLastSiteFrom18On)
{
    const int cases[][2] = {{0, 20}, {1, 20}, {18, 20}, {19, 21}, {20, 22}, {30, 32}};
    for (const auto& [loaded, rows] : cases) {
        SiteGrid grid;
        putSiteRecords(grid, numberedSites(loaded));
        EXPECT_EQ(grid.rowCount(), rows) << loaded;
        EXPECT_EQ(grid.cell(0, loaded), loaded ? std::to_string(loaded) : "") << loaded;
        EXPECT_EQ(grid.cell(0, loaded + 1), "") << loaded;
    }
}

TEST(SiteListFile, MissingFileLoadsNothingAndSkipsTheExtensionList)
{
    TempDir dir;
    SiteGrid grid;
    EXPECT_FALSE(readsExtensionList(loadSiteList(grid, dir.path())));
    std::filesystem::create_directory(dir.file("config.bin"));  // a directory is no file
    EXPECT_EQ(loadSiteList(grid, dir.path()).status, SiteListLoadStatus::Missing);
    EXPECT_EQ(grid.cell(0, 1), "");
}

TEST(SiteListFile, LoadsWholeRecordsWithTheirNumbersAndSavesThemBack)
{
    TempDir dir;
    const std::string bytes =
        encodeSiteRecords({{-5, "a", "http://a/"}, {2, "b", "http://b/"}, {9, "c", "u"}});
    writeBytes(dir.file("config.bin"), bytes + std::string(100, 'x'));
    SiteGrid grid;
    const SiteListLoad load = loadSiteList(grid, dir.path());
    EXPECT_EQ(load.status, SiteListLoadStatus::Loaded);
    EXPECT_EQ(load.sitesLoaded, 3);
    EXPECT_EQ(grid.cell(0, 1), "-5");
    EXPECT_EQ(grid.cell(1, 2), "b");

    ASSERT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::Saved);
    EXPECT_EQ(readBytes(dir.file("config.bin")), bytes);
}

TEST(SiteListFile, SavesSiteRowsOnly)
{
    TempDir dir;
    writeBytes(dir.file("config.bin"), encodeSiteRecords(numberedSites(5)));
    ASSERT_EQ(saveSiteList(SiteGrid(), dir.path(), {}), SiteListSaveResult::Saved);
    EXPECT_EQ(std::filesystem::file_size(dir.file("config.bin")), 0u);
    SiteGrid empty;
    EXPECT_TRUE(readsExtensionList(loadSiteList(empty, dir.path())));

    SiteGrid grid;
    putSiteRecords(grid, numberedSites(2));
    grid.setCell(3, 1, "status");
    grid.setCell(0, 4, "4");  // after a gap: not a site row
    ASSERT_EQ(saveSiteList(grid, dir.path(), {}), SiteListSaveResult::Saved);
    EXPECT_EQ(readBytes(dir.file("config.bin")), encodeSiteRecords(numberedSites(2)));
}

TEST(SiteListFile, ANumberThatIsNoIntegerKeepsTheOldFile)
{
    TempDir dir;
    writeBytes(dir.file("config.bin"), "old");
    for (const char* number : {"abc", "1x", "2147483648"}) {
        SiteGrid grid;
        grid.setCell(0, 1, number);
        EXPECT_EQ(saveSiteList(grid, dir.path(), {}), SiteListSaveResult::BadNumber) << number;
    }
    EXPECT_EQ(readBytes(dir.file("config.bin")), "old");
}

TEST(SiteListFile, ListLongerThanWeLoadIsNeverCutShortAtExit)
{
    TempDir dir;
    const std::string bytes =
        encodeSiteRecords(numberedSites(static_cast<int>(kMaxSiteRecords) + 3));
    writeBytes(dir.file("config.bin"), bytes);
    SiteGrid grid;
    const SiteListLoad load = loadSiteList(grid, dir.path());
    EXPECT_EQ(load.status, SiteListLoadStatus::Loaded);
    EXPECT_EQ(load.sitesLoaded, static_cast<int>(kMaxSiteRecords));
    EXPECT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::KeptUnreadable);
    EXPECT_EQ(readBytes(dir.file("config.bin")), bytes);
}

TEST(SiteListFile, ReadOnlyFileLoadsNoSiteAndIsNeverOverwritten)
{
    TempDir dir;
    const std::string bytes = encodeSiteRecords(numberedSites(3));
    writeBytes(dir.file("config.bin"), bytes);
    makeReadOnly(dir.file("config.bin"));

    SiteGrid grid;
    const SiteListLoad load = loadSiteList(grid, dir.path());
    EXPECT_EQ(load.status, SiteListLoadStatus::Unreadable);
    EXPECT_TRUE(readsExtensionList(load));
    EXPECT_EQ(grid.cell(0, 1), "");

    putSiteRecords(grid, numberedSites(1));
    EXPECT_EQ(saveSiteList(grid, dir.path(), {}), SiteListSaveResult::NotWritten);
    EXPECT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::KeptUnreadable);
    // Still kept when it has become writable during the run.
    std::filesystem::permissions(dir.file("config.bin"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::KeptUnreadable);
    EXPECT_EQ(readBytes(dir.file("config.bin")), bytes);
}

TEST(SiteListFile, StartedElsewhereReadsThereAndWritesIntoTheProgramDirectory)
{
    TempDir start;
    TempDir program;
    writeBytes(start.file("config.bin"), encodeSiteRecords(numberedSites(2)));
    writeBytes(program.file("config.bin"), "other");
    SiteGrid grid;
    const SiteListLoad load = loadSiteList(grid, start.path());
    ASSERT_EQ(saveSiteList(grid, program.path(), load), SiteListSaveResult::Saved);
    EXPECT_EQ(readBytes(program.file("config.bin")), encodeSiteRecords(numberedSites(2)));

    // An unreadable file in the start directory protects only itself.
    makeReadOnly(start.file("config.bin"));
    SiteGrid again;
    const SiteListLoad failed = loadSiteList(again, start.path());
    putSiteRecords(again, numberedSites(1));
    EXPECT_EQ(saveSiteList(again, program.path(), failed), SiteListSaveResult::Saved);
    EXPECT_EQ(readBytes(program.file("config.bin")), encodeSiteRecords(numberedSites(1)));
}

}  // namespace
}  // namespace vel
