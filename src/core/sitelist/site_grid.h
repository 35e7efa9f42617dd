#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace vel {

// A grid cell position: column and row, both 0-based; row 0 is the header row.
struct GridCoord {
    int col = 0;
    int row = 0;
    friend bool operator==(const GridCoord&, const GridCoord&) = default;
};

struct GridRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const GridRect&, const GridRect&) = default;
};

// The site grid's data: cell texts (bytes in the code page), the row count, the
// current cell and the selection. Cell texts are stored independently of the
// row count, so rows that fall outside the grid keep their texts and show again
// when the grid grows.
class SiteGrid {
public:
    // The columns, left to right.
    static constexpr int kNumberColumn = 0;  // the site's number; empty below the last site
    static constexpr int kNameColumn = 1;
    static constexpr int kUrlColumn = 2;
    static constexpr int kStatusColumn = 3;  // what the last search of the site found
    static constexpr int kColumnCount = 4;
    static constexpr int kInitialRowCount = 20;

    SiteGrid();

    const std::string& cell(int col, int row) const;
    void setCell(int col, int row, std::string_view text);

    int rowCount() const { return m_rowCount; }
    int columnCount() const { return kColumnCount; }
    // Changing the row count brings a current cell that lies outside the grid
    // inside (column to the last column, row to the last row) and shrinks the
    // selection to it.
    void setRowCount(int rowCount);

    GridCoord current() const { return m_current; }
    int currentRow() const { return m_current.row; }
    // The user made a cell current (click or arrow key): a single-cell selection.
    void setCurrent(GridCoord cell);
    // The top-left corner becomes the anchor and the bottom-right corner the
    // current cell, without any range check.
    void setSelection(const GridRect& rect);
    GridRect selection() const;

    // Told after any change of cells, row count or selection.
    void setChangeListener(std::function<void()> listener) { m_listener = std::move(listener); }

private:
    void changed();

    std::map<std::pair<int, int>, std::string> m_cells;
    int m_rowCount = kInitialRowCount;
    GridCoord m_anchor;
    GridCoord m_current;
    std::function<void()> m_listener;
};

}  // namespace vel
