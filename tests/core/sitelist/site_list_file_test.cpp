#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/sitelist/site_list_file.h"
#include "support/temp_dir.h"

namespace vel {
namespace {

constexpr int kNumber = SiteGrid::kNumberColumn;
constexpr int kName = SiteGrid::kNameColumn;
constexpr int kStatus = SiteGrid::kStatusColumn;

using test::makeReadOnly;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

std::vector<std::string> entryNames(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

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
        EXPECT_EQ(grid.cell(kNumber, loaded), loaded ? std::to_string(loaded) : "") << loaded;
        EXPECT_EQ(grid.cell(kNumber, loaded + 1), "") << loaded;
    }
}

TEST(SiteListFile, MissingFileLoadsNothingAndSkipsTheExtensionList)
{
    TempDir dir;
    SiteGrid grid;
    EXPECT_FALSE(readsExtensionList(loadSiteList(grid, dir.path())));
    std::filesystem::create_directory(dir.file("config.bin"));  // a directory is no file
    EXPECT_EQ(loadSiteList(grid, dir.path()).status, SiteListLoadStatus::Missing);
    EXPECT_EQ(grid.cell(kNumber, 1), "");
}

TEST(SiteListFile, LoadsWholeRecordsWithTheirNumbersAndSavesThemBack)
{
    TempDir dir;
    const std::string bytes =
        encodeSiteRecords({{-5, "a", "http://a/"}, {2, "b", "http://b/"}, {9, "c", "u"}});
    writeBytes(dir.file("config.bin"), bytes);
    SiteGrid grid;
    const SiteListLoad load = loadSiteList(grid, dir.path());
    EXPECT_EQ(load.status, SiteListLoadStatus::Loaded);
    EXPECT_EQ(load.sitesLoaded, 3);
    EXPECT_EQ(grid.cell(kNumber, 1), "-5");
    EXPECT_EQ(grid.cell(kName, 2), "b");

    ASSERT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::Saved);
    EXPECT_EQ(readBytes(dir.file("config.bin")), bytes);
    // A file as VEL writes it needs no copy.
    EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"config.bin"});
}

// Every file the save would not write back byte for byte is copied aside
// first, so what the records did not keep survives.
TEST(SiteListFile, AFileNotAsVelWritesItIsCopiedAsideBeforeTheSave)
{
    const std::string sites = encodeSiteRecords(numberedSites(2));
    std::string afterNul = sites;
    afterNul[4 + 6] = 'z';  // "site1", NUL, then a stray byte in the name field
    const std::pair<const char*, std::string> cases[] = {
        {"partial record", sites + std::string(100, 'x')},
        {"a single partial record", std::string(235, 'x')},
        {"bytes after a NUL", afterNul},
    };
    for (const auto& [what, bytes] : cases) {
        TempDir dir;
        writeBytes(dir.file("config.bin"), bytes);
        SiteGrid grid;
        const SiteListLoad load = loadSiteList(grid, dir.path());
        EXPECT_EQ(load.status, SiteListLoadStatus::Loaded) << what;
        const std::vector<SiteRecord> loaded = decodeSiteRecords(bytes);
        EXPECT_EQ(load.sitesLoaded, static_cast<int>(loaded.size())) << what;

        ASSERT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::Saved) << what;
        EXPECT_EQ(readBytes(dir.file("config.bin")), encodeSiteRecords(loaded)) << what;
        EXPECT_EQ(readBytes(dir.file("config.bin.bak")), bytes) << what;
        // The file now is VEL's own: a second save copies nothing.
        ASSERT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::Saved) << what;
        EXPECT_EQ(entryNames(dir.path()),
                  (std::vector<std::string>{"config.bin", "config.bin.bak"}))
            << what;
    }
}

TEST(SiteListFile, ABackupNeverReplacesAnotherOne)
{
    const std::string bytes = encodeSiteRecords(numberedSites(1)) + "tail";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> before;  // name, content
        std::string backup;  // where the copy ends up
    };
    const Case cases[] = {
        {"an identical copy is kept", {{"config.bin.bak", bytes}}, "config.bin.bak"},
        {"another copy is numbered past", {{"config.bin.bak", "older"}}, "config.bin.bak.1"},
        {"numbered copies too",
         {{"config.bin.bak", "older"}, {"config.bin.bak.1", "old"}, {"config.bin.bak.3", "x"}},
         "config.bin.bak.2"},
        {"an identical numbered copy is kept",
         {{"config.bin.bak", "older"}, {"config.bin.bak.1", bytes}},
         "config.bin.bak.1"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeBytes(dir.file("config.bin"), bytes);
        for (const auto& [name, content] : c.before)
            writeBytes(dir.file(name), content);
        SiteGrid grid;
        const SiteListLoad load = loadSiteList(grid, dir.path());
        ASSERT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::Saved) << c.what;

        EXPECT_EQ(readBytes(dir.file(c.backup)), bytes) << c.what;
        for (const auto& [name, content] : c.before) {
            if (name != c.backup)
                EXPECT_EQ(readBytes(dir.file(name)), content) << c.what << " " << name;
        }
        std::vector<std::string> names{"config.bin", c.backup};
        for (const auto& entry : c.before)
            names.push_back(entry.first);
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        EXPECT_EQ(entryNames(dir.path()), names) << c.what;
    }
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
    grid.setCell(kStatus, 1, "status");
    grid.setCell(kNumber, 4, "4");  // after a gap: not a site row
    ASSERT_EQ(saveSiteList(grid, dir.path(), {}), SiteListSaveResult::Saved);
    EXPECT_EQ(readBytes(dir.file("config.bin")), encodeSiteRecords(numberedSites(2)));
}

TEST(SiteListFile, ANumberThatIsNoIntegerKeepsTheOldFile)
{
    TempDir dir;
    writeBytes(dir.file("config.bin"), "old");
    for (const char* number : {"abc", "1x", "2147483648"}) {
        SiteGrid grid;
        grid.setCell(kNumber, 1, number);
        EXPECT_EQ(saveSiteList(grid, dir.path(), {}), SiteListSaveResult::BadNumber) << number;
    }
    EXPECT_EQ(readBytes(dir.file("config.bin")), "old");
}

TEST(SiteListFile, ListLongerThanWeLoadIsCopiedWholeBeforeTheSave)
{
    TempDir dir;
    const std::vector<SiteRecord> records = numberedSites(static_cast<int>(kMaxSiteRecords) + 3);
    const std::string bytes = encodeSiteRecords(records);
    writeBytes(dir.file("config.bin"), bytes);
    SiteGrid grid;
    const SiteListLoad load = loadSiteList(grid, dir.path());
    EXPECT_EQ(load.status, SiteListLoadStatus::Loaded);
    EXPECT_EQ(load.sitesLoaded, static_cast<int>(kMaxSiteRecords));
    EXPECT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::Saved);
    EXPECT_EQ(readBytes(dir.file("config.bin.bak")), bytes);
    EXPECT_EQ(readBytes(dir.file("config.bin")),
              encodeSiteRecords({records.begin(), records.begin() + kMaxSiteRecords}));
}

TEST(SiteListFile, ReadOnlyFileLoadsNoSiteAndIsNeverOverwritten)
{
    TempDir dir;
    // A partial record too: the file is kept, so nothing is copied.
    const std::string bytes = encodeSiteRecords(numberedSites(3)) + "part";
    writeBytes(dir.file("config.bin"), bytes);
    makeReadOnly(dir.file("config.bin"));

    SiteGrid grid;
    const SiteListLoad load = loadSiteList(grid, dir.path());
    EXPECT_EQ(load.status, SiteListLoadStatus::Unreadable);
    EXPECT_TRUE(readsExtensionList(load));
    EXPECT_EQ(grid.cell(kNumber, 1), "");

    putSiteRecords(grid, numberedSites(1));
    EXPECT_EQ(saveSiteList(grid, dir.path(), {}), SiteListSaveResult::NotWritten);
    EXPECT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::KeptUnreadable);
    // Still kept when it has become writable during the run.
    std::filesystem::permissions(dir.file("config.bin"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(saveSiteList(grid, dir.path(), load), SiteListSaveResult::KeptUnreadable);
    EXPECT_EQ(readBytes(dir.file("config.bin")), bytes);
    EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"config.bin"});
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
