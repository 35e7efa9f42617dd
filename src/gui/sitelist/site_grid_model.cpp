#include "gui/sitelist/site_grid_model.h"

#include <algorithm>

#include "gui/common/qt_text.h"

namespace vel {

SiteGridModel::SiteGridModel(SiteGrid& grid, QObject* parent)
    : QAbstractTableModel(parent)
    , m_grid(grid)
    , m_shownRows(std::max(grid.rowCount() - 1, 0))
{}

int SiteGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shownRows;
}

int SiteGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : SiteGrid::kColumnCount;
}

QVariant SiteGridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return toQString(m_grid.cell(index.column(), index.row() + 1));
    return {};
}

QVariant SiteGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < SiteGrid::kColumnCount) {
        return toQString(m_grid.cell(section, 0));
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void SiteGridModel::refresh()
{
    const int wanted = std::max(m_grid.rowCount() - 1, 0);
    if (wanted > m_shownRows) {
        beginInsertRows({}, m_shownRows, wanted - 1);
        m_shownRows = wanted;
        endInsertRows();
    } else if (wanted < m_shownRows) {
        beginRemoveRows({}, wanted, m_shownRows - 1);
        m_shownRows = wanted;
        endRemoveRows();
    }
    if (m_shownRows > 0)
        emit dataChanged(index(0, 0), index(m_shownRows - 1, SiteGrid::kColumnCount - 1));
    emit headerDataChanged(Qt::Horizontal, 0, SiteGrid::kColumnCount - 1);
}

}  // namespace vel
