#pragma once

#include <QWidget>

#include "core/sitelist/site_grid.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QUrl;

namespace vel {

class SiteGridModel;

// The top-left panel: the site table over the grid, the search and delete
// buttons, the page title box and the extension chooser. It shows the grid
// and passes the user's row choices to it; commands go out as signals.
class SiteListPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SiteListPanel)

public:
    static constexpr int kWidth = 633;
    static constexpr int kHeight = 179;

    SiteListPanel(SiteGrid& grid, QWidget* parent = nullptr);
    ~SiteListPanel() override;

    QLineEdit* titleEdit() const { return m_titleEdit; }
    QComboBox* extensionChooser() const { return m_extensionChooser; }
    QPushButton* searchButton() const { return m_searchButton; }
    QPushButton* deleteButton() const { return m_deleteButton; }

    // Brings the table in line with the grid's rows, texts, selection and
    // current cell.
    void showGrid();

    // Shows the grid once when a command that changes many cells is done,
    // rather than after every cell.
    class Batch {
    public:
        explicit Batch(SiteListPanel& panel);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        SiteListPanel& m_panel;
    };

signals:
    // A row of the table was clicked (the grid's current cell is set already).
    void rowClicked();
    void searchClicked();
    void deleteClicked();
    // Shift+Enter in the title box: the user is done with the title.
    void titleConfirmed();
    // A web address was dropped on the table.
    void urlDropped(const QUrl& url);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createTable();
    void createTitleBox();
    void createExtensionChooser();
    void connectSignals();
    void syncSelection();

    SiteGrid& m_grid;
    SiteGridModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_titleLabel = nullptr;
    QLineEdit* m_titleEdit = nullptr;
    QComboBox* m_extensionChooser = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    bool m_syncing = false;
    int m_batchDepth = 0;
};

}  // namespace vel
