#include "core/sitelist/site_grid.h"

#include <algorithm>

namespace vel {

namespace {

const std::string kEmpty;

}  // namespace

SiteGrid::SiteGrid()
    : m_anchor{0, 1}
    , m_current{0, 1}
{}

const std::string& SiteGrid::cell(int col, int row) const
{
    const auto it = m_cells.find({col, row});
    return it == m_cells.end() ? kEmpty : it->second;
}

void SiteGrid::setCell(int col, int row, std::string_view text)
{
    if (text.empty())
        m_cells.erase({col, row});
    else
        m_cells[{col, row}] = std::string(text);
    changed();
}

void SiteGrid::setRowCount(int rowCount)
{
    rowCount = std::max(rowCount, 1);
    if (rowCount == m_rowCount)
        return;
    m_rowCount = rowCount;
    if (m_current.col >= kColumnCount || m_current.row >= m_rowCount) {
        m_current.col = std::min(m_current.col, kColumnCount - 1);
        m_current.row = std::min(m_current.row, m_rowCount - 1);
        m_anchor = m_current;
    }
    changed();
}

void SiteGrid::setCurrent(GridCoord cell)
{
    m_current = cell;
    m_anchor = cell;
    changed();
}

void SiteGrid::setSelection(const GridRect& rect)
{
    m_anchor = {rect.left, rect.top};
    m_current = {rect.right, rect.bottom};
    changed();
}

GridRect SiteGrid::selection() const
{
    return {std::min(m_anchor.col, m_current.col), std::min(m_anchor.row, m_current.row),
            std::max(m_anchor.col, m_current.col), std::max(m_anchor.row, m_current.row)};
}

void SiteGrid::changed()
{
    if (m_listener)
        m_listener();
}

}  // namespace vel
