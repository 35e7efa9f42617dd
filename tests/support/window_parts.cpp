#include "support/window_parts.h"

#include <QAction>
#include <QTest>

#include "core/sitelist/site_grid.h"
#include "gui/settings/start_page_dialog.h"

namespace vel::test {

QString WindowParts::cell(int column, int row) const
{
    const QAbstractItemModel* model = siteTable()->model();
    if (row == 0)
        return model->headerData(column, Qt::Horizontal).toString();
    return model->index(row - 1, column).data().toString();
}

int WindowParts::siteCount() const
{
    int count = 0;
    while (!cell(SiteGrid::kNumberColumn, count + 1).isEmpty())
        ++count;
    return count;
}

QPoint WindowParts::currentCell() const
{
    const QModelIndex current = siteTable()->currentIndex();
    return current.isValid() ? QPoint(current.column(), current.row() + 1) : QPoint(-1, -1);
}

void WindowParts::setCurrentCell(int column, int row) const
{
    QTableView* table = siteTable();
    table->setCurrentIndex(table->model()->index(row - 1, column));
}

QStringList WindowParts::listed() const
{
    const FoundFilesList* list = foundList();
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->textAt(i);
    return texts;
}

void WindowParts::saveStartPage() const
{
    action("N10")->trigger();
    QTest::mouseClick(part<QPushButton>(dialog<StartPageDialog>(), "OKBtn"), Qt::LeftButton);
}

}  // namespace vel::test
