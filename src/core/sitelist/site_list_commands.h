#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/sitelist/site_grid.h"

namespace vel {

// Number of site rows: consecutive rows from row 1 whose column 0 is not empty,
// read from the stored texts (rows past the row count included).
int countSites(const SiteGrid& grid);

enum class AddResult { Added, EmptyUrl };

// Adds the page in the title and URL boxes as a new numbered site row in the
// first empty row, growing the grid when that row lies just past its end.
// Nothing changes when the URL is empty.
AddResult addSite(SiteGrid& grid, std::string_view title, std::string_view url);

// Whether the page at this address may be added to the site list: image
// addresses (holding ".gif" or ".jpg") stay out of it.
bool mayAddPageToList(std::string_view url);

// What selecting a row asks of the window: navigate the browser when the row is
// a site row. The focus always moves to the file search button.
struct RowSelection {
    std::optional<std::string> navigateTo;
};

// Highlights the current row and tells where the browser should go.
RowSelection selectCurrentRow(SiteGrid& grid);

// Deletes the current site row: the rows below move up (numbers stay where they
// are), the last number disappears, and the current row is selected again.
// Returns nothing when the current row is not a site row.
std::optional<RowSelection> deleteCurrentSite(SiteGrid& grid);

}  // namespace vel
