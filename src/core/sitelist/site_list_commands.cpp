#include "core/sitelist/site_list_commands.h"

namespace vel {

int countSites(const SiteGrid& grid)
{
    int count = 0;
    while (!grid.cell(SiteGrid::kNumberColumn, count + 1).empty())
        ++count;
    return count;
}

AddResult addSite(SiteGrid& grid, std::string_view title, std::string_view url)
{
    const int row = countSites(grid) + 1;
    if (url.empty())
        return AddResult::EmptyUrl;
    grid.setCell(SiteGrid::kNumberColumn, row, std::to_string(row));
    grid.setCell(SiteGrid::kNameColumn, row, title);
    grid.setCell(SiteGrid::kUrlColumn, row, url);
    if (row >= grid.rowCount())
        grid.setRowCount(grid.rowCount() + 1);
    return AddResult::Added;
}

RowSelection selectCurrentRow(SiteGrid& grid)
{
    const int row = grid.currentRow();
    grid.setSelection({SiteGrid::kNumberColumn, row, SiteGrid::kColumnCount, row});
    RowSelection selection;
    if (!grid.cell(SiteGrid::kNumberColumn, row).empty())
        selection.navigateTo = grid.cell(SiteGrid::kUrlColumn, row);
    return selection;
}

std::optional<RowSelection> deleteCurrentSite(SiteGrid& grid)
{
    const int current = grid.currentRow();
    if (grid.cell(SiteGrid::kNumberColumn, current).empty())
        return std::nullopt;

    // The numbers stay: each row keeps its own.
    for (int col = SiteGrid::kNameColumn; col < grid.columnCount(); ++col) {
        for (int row = current; row < grid.rowCount(); ++row)
            grid.setCell(col, row, grid.cell(col, row + 1));
    }
    if (grid.rowCount() > 1)
        grid.setRowCount(grid.rowCount() - 1);
    // The last site row lost its texts to the move; it loses its number too. A
    // list with a gap in its numbers must never reach the header row here.
    if (const int sites = countSites(grid); sites > 0) {
        for (int col = 0; col < grid.columnCount(); ++col)
            grid.setCell(col, sites, "");
    }
    grid.setRowCount(grid.rowCount() + 1);
    return selectCurrentRow(grid);
}

bool mayAddPageToList(std::string_view url)
{
    return url.find(".gif") == std::string_view::npos && url.find(".jpg") == std::string_view::npos;
}

}  // namespace vel
