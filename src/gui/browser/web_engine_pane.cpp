#include "gui/browser/web_engine_pane.h"

#include <QUrl>
#include <QWebEngineHistory>

namespace vel {

WebEnginePane::WebEnginePane(QObject* parent)
    : BrowserPane(parent)
    , m_view(new QWebEngineView)
{
    m_view->setFocusPolicy(Qt::ClickFocus);
    connect(m_view, &QWebEngineView::loadStarted, this, [this] { emit beforeNavigate(); });
    connect(m_view, &QWebEngineView::titleChanged, this,
            [this](const QString& title) { emit titleChanged(title); });
    // The history changes as soon as the browser commits to a new address.
    connect(m_view, &QWebEngineView::urlChanged, this,
            [this](const QUrl&) { reportHistoryState(); });
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool) {
        m_hasDocument = true;
        reportHistoryState();
        emit navigateComplete();
    });
}

WebEnginePane::~WebEnginePane()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

QWidget* WebEnginePane::widget()
{
    return m_view;
}

void WebEnginePane::navigate(const QString& url)
{
    if (url.isEmpty())
        return;
    m_view->setUrl(QUrl::fromUserInput(url));
}

void WebEnginePane::goBack()
{
    m_view->back();
}

void WebEnginePane::goForward()
{
    m_view->forward();
}

void WebEnginePane::refresh()
{
    m_view->reload();
}

bool WebEnginePane::hasDocument() const
{
    return m_hasDocument;
}

QString WebEnginePane::locationUrl() const
{
    return m_view->url().toString();
}

void WebEnginePane::reportHistoryState()
{
    const bool canGoBack = m_view->history()->canGoBack();
    const bool canGoForward = m_view->history()->canGoForward();
    if (canGoForward != m_canGoForward) {
        m_canGoForward = canGoForward;
        emit commandStateChanged(kForwardCommand, canGoForward);
    }
    if (canGoBack != m_canGoBack) {
        m_canGoBack = canGoBack;
        emit commandStateChanged(kBackCommand, canGoBack);
    }
}

}  // namespace vel
