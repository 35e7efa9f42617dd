#include <string>

#include <gtest/gtest.h>

#include "core/sitelist/site_list_commands.h"

namespace vel {
namespace {

constexpr int kNumber = SiteGrid::kNumberColumn;
constexpr int kName = SiteGrid::kNameColumn;
constexpr int kUrl = SiteGrid::kUrlColumn;
constexpr int kStatus = SiteGrid::kStatusColumn;

// A grid as the window has it after start-up: headers, current cell one row
// past the last row.
SiteGrid startedGrid()
{
    SiteGrid grid;
    grid.setCell(kName, 0, "name");
    grid.setCell(kUrl, 0, "URL");
    grid.setCell(kStatus, 0, "status");
    grid.setSelection({kNumber, grid.rowCount(), SiteGrid::kColumnCount, grid.rowCount()});
    return grid;
}

void addNumbered(SiteGrid& grid, int count)
{
    for (int i = 1; i <= count; ++i)
        ASSERT_EQ(addSite(grid, "site" + std::to_string(i), "http://h/" + std::to_string(i)),
                  AddResult::Added);
}

TEST(AddSite, FillsTheFirstEmptyRowWithItsNumberTitleAndUrl)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 2);
    EXPECT_EQ(grid.cell(kNumber, 2), "2");
    EXPECT_EQ(grid.cell(kName, 2), "site2");
    EXPECT_EQ(grid.cell(kUrl, 2), "http://h/2");
    EXPECT_EQ(grid.cell(kStatus, 2), "");
    EXPECT_EQ(countSites(grid), 2);
    // The same page twice gives two rows; an empty title is taken as it is.
    ASSERT_EQ(addSite(grid, "", "http://h/2"), AddResult::Added);
    EXPECT_EQ(grid.cell(kNumber, 3), "3");
    EXPECT_EQ(grid.cell(kName, 3), "");
    EXPECT_EQ(grid.cell(kUrl, 3), "http://h/2");
}

TEST(AddSite, EmptyUrlChangesNothing)
{
    SiteGrid grid = startedGrid();
    EXPECT_EQ(addSite(grid, "title", ""), AddResult::EmptyUrl);
    EXPECT_EQ(grid.cell(kNumber, 1), "");
    EXPECT_EQ(grid.rowCount(), 20);
    EXPECT_EQ(addSite(grid, "title", "http://"), AddResult::Added);
}

TEST(AddSite, NineteenthFitsTwentiethGrowsTheGrid)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 18);
    addNumbered(grid, 1);
    EXPECT_EQ(grid.cell(kNumber, 19), "19");
    EXPECT_EQ(grid.rowCount(), 20);
    // Still no site row is current before the grid grows.
    EXPECT_EQ(grid.currentRow(), 20);
    addNumbered(grid, 1);
    EXPECT_EQ(grid.cell(kNumber, 20), "20");
    EXPECT_EQ(grid.rowCount(), 21);
    // The start-up position becomes the new row, its status cell selected.
    EXPECT_EQ(grid.current(), (GridCoord{3, 20}));
    EXPECT_EQ(grid.selection(), (GridRect{3, 20, 3, 20}));
}

TEST(AddSite, GrowingAfterARowSelectionKeepsThatRowCurrent)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 19);
    grid.setCurrent({1, 2});
    selectCurrentRow(grid);
    addNumbered(grid, 1);
    EXPECT_EQ(grid.current(), (GridCoord{3, 2}));
    EXPECT_EQ(grid.selection(), (GridRect{3, 2, 3, 2}));
}

TEST(SelectRow, SiteRowNavigatesEmptyRowOnlyHighlights)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 2);
    grid.setCurrent({2, 2});
    RowSelection selection = selectCurrentRow(grid);
    ASSERT_TRUE(selection.navigateTo.has_value());
    EXPECT_EQ(*selection.navigateTo, "http://h/2");
    EXPECT_EQ(grid.selection(), (GridRect{0, 2, 4, 2}));

    grid.setCurrent({1, 7});
    selection = selectCurrentRow(grid);
    EXPECT_FALSE(selection.navigateTo.has_value());
    EXPECT_EQ(grid.selection(), (GridRect{0, 7, 4, 7}));
}

TEST(DeleteSite, MiddleRowMovesTheRestUpAndKeepsNumbersInPlace)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 3);
    grid.setCell(kStatus, 3, "5 found");
    grid.setCurrent({0, 2});
    const auto selection = deleteCurrentSite(grid);
    ASSERT_TRUE(selection.has_value());
    EXPECT_EQ(grid.cell(kName, 1), "site1");
    EXPECT_EQ(grid.cell(kNumber, 2), "2");
    EXPECT_EQ(grid.cell(kName, 2), "site3");
    EXPECT_EQ(grid.cell(kUrl, 2), "http://h/3");
    EXPECT_EQ(grid.cell(kStatus, 2), "5 found");
    for (int col = 0; col < 4; ++col)
        EXPECT_EQ(grid.cell(col, 3), "") << col;
    EXPECT_EQ(grid.rowCount(), 20);
    ASSERT_TRUE(selection->navigateTo.has_value());
    EXPECT_EQ(*selection->navigateTo, "http://h/3");
    EXPECT_EQ(grid.selection(), (GridRect{0, 2, 4, 2}));
}

TEST(DeleteSite, LastSiteLeavesAnEmptyCurrentRow)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 2);
    grid.setCurrent({0, 2});
    const auto selection = deleteCurrentSite(grid);
    ASSERT_TRUE(selection.has_value());
    EXPECT_FALSE(selection->navigateTo.has_value());
    EXPECT_EQ(grid.currentRow(), 2);
    EXPECT_EQ(countSites(grid), 1);
}

TEST(DeleteSite, OnlySiteEmptiesRowOne)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 1);
    grid.setCurrent({0, 1});
    ASSERT_TRUE(deleteCurrentSite(grid).has_value());
    for (int col = 0; col < 4; ++col)
        EXPECT_EQ(grid.cell(col, 1), "") << col;
    EXPECT_EQ(grid.cell(kName, 0), "name");
}

TEST(DeleteSite, GridsLastRowWhileCurrentMovesUpAndOpensTheRowAbove)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 20);  // rows 1..20 in a 21-row grid
    ASSERT_EQ(grid.rowCount(), 21);
    grid.setCurrent({1, 20});
    const auto selection = deleteCurrentSite(grid);
    ASSERT_TRUE(selection.has_value());
    EXPECT_EQ(grid.rowCount(), 21);
    EXPECT_EQ(grid.currentRow(), 19);
    for (int col = 0; col < 4; ++col)
        EXPECT_EQ(grid.cell(col, 20), "") << col;
    ASSERT_TRUE(selection->navigateTo.has_value());
    EXPECT_EQ(*selection->navigateTo, "http://h/19");
}

TEST(DeleteSite, NothingHappensWithoutACurrentSite)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 2);
    // Start-up position, one row past the last.
    EXPECT_FALSE(deleteCurrentSite(grid).has_value());
    grid.setCurrent({0, 5});
    EXPECT_FALSE(deleteCurrentSite(grid).has_value());
    EXPECT_EQ(countSites(grid), 2);
    EXPECT_EQ(grid.selection(), (GridRect{0, 5, 0, 5}));
}

TEST(DeleteSite, StoredNumbersStayInTheirRows)
{
    SiteGrid grid = startedGrid();
    const char* numbers[] = {"7", "3", "12"};
    for (int row = 1; row <= 3; ++row) {
        grid.setCell(kNumber, row, numbers[row - 1]);
        grid.setCell(kName, row, "n" + std::to_string(row));
    }
    grid.setCurrent({0, 1});
    ASSERT_TRUE(deleteCurrentSite(grid).has_value());
    EXPECT_EQ(grid.cell(kNumber, 1), "7");
    EXPECT_EQ(grid.cell(kName, 1), "n2");
    EXPECT_EQ(grid.cell(kNumber, 2), "3");
    EXPECT_EQ(grid.cell(kName, 2), "n3");
    EXPECT_EQ(grid.cell(kNumber, 3), "");
}

TEST(DeleteSite, AfterStartupGrowthTheNewRowIsDeleted)
{
    SiteGrid grid = startedGrid();
    addNumbered(grid, 20);
    ASSERT_EQ(grid.currentRow(), 20);
    ASSERT_TRUE(deleteCurrentSite(grid).has_value());
    EXPECT_EQ(countSites(grid), 19);
    EXPECT_EQ(grid.cell(kName, 19), "site19");
}

TEST(MayAddPageToList, ImageAddressesStayOut)
{
    const struct {
        const char* url;
        bool mayAdd;
    } cases[] = {
        {"http://h/index.html", true},
        {"http://h/", true},
        {"", true},
        {"http://h/a.gif", false},
        {"http://h/a.jpg?x=1", false},
        {"http://h/a.gif.html", false},  // anywhere in the address
        {"http://h/gallery.jpgs/", false},  // even inside a longer word
        {"http://h/A.GIF", true},  // the rule is case-sensitive
        {"http://h/a.png", true},
        {"http://h/a.jpeg", true},
        {"http://h/agif", true},
        // Shift-JIS text around the marker: "." is never a trail byte.
        {"http://h/\x83\x41.jpg", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mayAddPageToList(c.url), c.mayAdd) << c.url;
}

}  // namespace
}  // namespace vel
