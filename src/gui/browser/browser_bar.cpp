#include "gui/browser/browser_bar.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "core/sitelist/site_list_commands.h"
#include "gui/browser/browser_pane.h"
#include "gui/common/push_button.h"
#include "gui/common/qt_text.h"

namespace vel {

namespace {

bool mayAdd(const QString& url)
{
    return mayAddPageToList(fromQString(url));
}

}  // namespace

BrowserBar::BrowserBar(BrowserPane* browser, QWidget* parent)
    : QFrame(parent)
    , m_browser(browser)
{
    setObjectName(QStringLiteral("Panel1"));
    resize(kWidth, kHeight);
    m_back = makePushButton(this, "modoru", QStringLiteral("戻る"),
                            QStringLiteral("前ページへ戻る"), "go-previous", {8, 3, 57, 25});
    m_forward = makePushButton(this, "susumu", QStringLiteral("進む"),
                               QStringLiteral("次ページへ進む"), "go-next", {64, 3, 58, 25});
    m_refresh =
        makePushButton(this, "kousin", QStringLiteral("更新"), QStringLiteral("ページを更新します"),
                       "view-refresh", {122, 3, 60, 25});
    // The URL box sits between reload and go.
    m_urlEdit = new QLineEdit(QStringLiteral("http://"), this);
    m_urlEdit->setObjectName(QStringLiteral("Edit1"));
    m_urlEdit->setGeometry(184, 5, 277, 20);
    m_urlEdit->setAccessibleName(QStringLiteral("URL"));
    m_go = makePushButton(this, "idou", QStringLiteral("移動"), QStringLiteral("URLへ移動します"),
                          "go-jump", {464, 3, 58, 25});
    m_addToList = makePushButton(this, "tuika", QStringLiteral("リストに追加"),
                                 QStringLiteral("現在のページをリストに追加します"), "list-add",
                                 {523, 3, 100, 25});
    setTabOrder(m_refresh, m_urlEdit);
    setTabOrder(m_urlEdit, m_go);

    connect(m_back, &QPushButton::clicked, this, [this] {
        if (m_browser)
            m_browser->goBack();
    });
    connect(m_forward, &QPushButton::clicked, this, [this] {
        if (m_browser)
            m_browser->goForward();
    });
    connect(m_refresh, &QPushButton::clicked, this, [this] {
        if (m_browser && m_browser->hasDocument())
            m_browser->refresh();
    });
    connect(m_go, &QPushButton::clicked, this, &BrowserBar::navigateToUrlBox);
    connect(m_addToList, &QPushButton::clicked, this, &BrowserBar::addToListClicked);
    connect(m_urlEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_addToList->setEnabled(mayAdd(text)); });
    // Shift+Enter in the URL box goes there; a plain Enter is the window's.
    m_urlEdit->installEventFilter(this);

    if (m_browser) {
        connect(m_browser, &BrowserPane::canGoBackChanged, m_back, &QWidget::setEnabled);
        connect(m_browser, &BrowserPane::canGoForwardChanged, m_forward, &QWidget::setEnabled);
        connect(m_browser, &BrowserPane::navigateComplete, this, &BrowserBar::onNavigateComplete);
    }
}

void BrowserBar::navigate(const QString& url)
{
    if (m_browser)
        m_browser->navigate(url);
}

void BrowserBar::navigateToUrlBox()
{
    navigate(m_urlEdit->text());
}

void BrowserBar::onNavigateComplete()
{
    m_urlEdit->setText(m_browser->locationUrl());
    m_addToList->setEnabled(mayAdd(m_browser->locationUrl()));
}

bool BrowserBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_urlEdit && event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const bool enter = keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter;
        if (enter && (keyEvent->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
            navigateToUrlBox();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace vel
