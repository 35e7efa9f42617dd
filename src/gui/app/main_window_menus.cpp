// The main window's menu bar and its context menu.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "gui/app/about_box.h"
#include "gui/app/main_window.h"
#include "gui/browser/browser_pane.h"
#include "gui/settings/extension_list_dialog.h"
#include "gui/settings/start_page_dialog.h"

namespace vel {

void MainWindow::createMenus()
{
    QMenu* menu = menuBar()->addMenu(QStringLiteral("メニュー"));
    menu->setObjectName(QStringLiteral("N1"));
    QAction* extensions = menu->addAction(QStringLiteral("拡張子の追加と削除(&T)"));
    extensions->setObjectName(QStringLiteral("N9"));
    connect(extensions, &QAction::triggered, this, [this] {
        m_extensionListDialog->show();
        m_extensionListDialog->raise();
        m_extensionListDialog->activateWindow();
    });
    QAction* startPage = menu->addAction(QStringLiteral("トップページ設定"));
    startPage->setObjectName(QStringLiteral("N10"));
    connect(startPage, &QAction::triggered, this, [this] {
        m_startPageDialog->show();
        m_startPageDialog->raise();
    });
    QAction* exit = menu->addAction(QStringLiteral("終了(&X)"));
    exit->setObjectName(QStringLiteral("Exit1"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ"));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* about = help->addAction(QStringLiteral("バージョン情報(&V)"));
    about->setObjectName(QStringLiteral("About1"));
    connect(about, &QAction::triggered, this, [this] {
        m_aboutBox->show();
        m_aboutBox->raise();
    });

    m_windowMenu = new QMenu(this);
    m_windowMenu->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* add = m_windowMenu->addAction(QStringLiteral("リストに追加"));
    add->setObjectName(QStringLiteral("a1"));
    connect(add, &QAction::triggered, this, &MainWindow::onAddToListClicked);
    m_searchAction = m_windowMenu->addAction(QStringLiteral("選択ページをチェック"));
    m_searchAction->setObjectName(QStringLiteral("N5"));
    connect(m_searchAction, &QAction::triggered, this, &MainWindow::onSearchClicked);
    QAction* remove = m_windowMenu->addAction(QStringLiteral("選択ページを削除"));
    remove->setObjectName(QStringLiteral("N6"));
    connect(remove, &QAction::triggered, this, &MainWindow::onDeleteSiteClicked);
    QAction* download = m_windowMenu->addAction(QStringLiteral("ダウンロード"));
    download->setObjectName(QStringLiteral("N7"));
    connect(download, &QAction::triggered, this, &MainWindow::onDownloadClicked);
    QAction* quit = m_windowMenu->addAction(QStringLiteral("ＶＥＬを終了する"));
    quit->setObjectName(QStringLiteral("N8"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    m_client->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_client, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_windowMenu->popup(m_client->mapToGlobal(pos)); });
    if (m_browser) {
        QWidget* view = m_browser->widget();
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { m_windowMenu->popup(view->mapToGlobal(pos)); });
    }
}

}  // namespace vel
