#pragma once

#include <QAbstractTableModel>

#include "core/sitelist/site_grid.h"

namespace vel {

// Shows the site grid in a QTableView. View row i is grid row i + 1; grid row 0
// is the header row and feeds the horizontal header.
class SiteGridModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SiteGridModel)

public:
    explicit SiteGridModel(SiteGrid& grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Brings the view's rows and texts in line with the grid after a change.
    void refresh();

private:
    SiteGrid& m_grid;
    int m_shownRows = 0;
};

}  // namespace vel
