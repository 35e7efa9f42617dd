#include <gtest/gtest.h>

#include "core/sitelist/site_grid.h"

namespace vel {
namespace {

TEST(SiteGrid, CellsOutlastTheRowCount)
{
    SiteGrid grid;
    grid.setCell(2, 19, "last");
    grid.setCell(2, 20, "past the end");
    grid.setRowCount(5);
    EXPECT_EQ(grid.cell(2, 19), "last");
    EXPECT_EQ(grid.cell(2, 20), "past the end");
    grid.setRowCount(30);
    EXPECT_EQ(grid.cell(2, 19), "last");
    EXPECT_EQ(grid.cell(1, 25), "");
    grid.setCell(2, 19, "");
    EXPECT_EQ(grid.cell(2, 19), "");
}

TEST(SiteGrid, SelectionMakesBottomRightCurrentWithoutRangeCheck)
{
    SiteGrid grid;
    grid.setSelection({0, 20, 4, 20});
    EXPECT_EQ(grid.current(), (GridCoord{4, 20}));
    EXPECT_EQ(grid.selection(), (GridRect{0, 20, 4, 20}));
}

TEST(SiteGrid, GrowingBringsAnOutsideCurrentCellInside)
{
    SiteGrid grid;
    grid.setSelection({0, 20, 4, 20});  // start-up position, past the last row
    grid.setRowCount(21);
    EXPECT_EQ(grid.current(), (GridCoord{3, 20}));
    EXPECT_EQ(grid.selection(), (GridRect{3, 20, 3, 20}));
}

TEST(SiteGrid, RowSelectionNarrowsToColumnThreeWhenTheGridGrows)
{
    SiteGrid grid;
    grid.setSelection({0, 2, 4, 2});
    grid.setRowCount(21);
    EXPECT_EQ(grid.current(), (GridCoord{3, 2}));
    EXPECT_EQ(grid.selection(), (GridRect{3, 2, 3, 2}));
}

TEST(SiteGrid, ShrinkingPastTheCurrentRowMovesItToTheNewLastRow)
{
    SiteGrid grid;
    grid.setCurrent({1, 19});
    grid.setRowCount(19);
    EXPECT_EQ(grid.current(), (GridCoord{1, 18}));
    // An unchanged row count leaves an outside cell where it is.
    grid.setSelection({0, 30, 4, 30});
    grid.setRowCount(19);
    EXPECT_EQ(grid.current(), (GridCoord{4, 30}));
}

TEST(SiteGrid, ListenerHearsEveryChange)
{
    SiteGrid grid;
    int calls = 0;
    grid.setChangeListener([&calls] { ++calls; });
    grid.setCell(1, 1, "a");
    grid.setRowCount(21);
    grid.setSelection({0, 1, 4, 1});
    grid.setCurrent({0, 2});
    EXPECT_EQ(calls, 4);
}

}  // namespace
}  // namespace vel
