#include "gui/browser/web_engine_pane.h"

#include <utility>

#include <QFile>
#include <QMetaObject>
#include <QUrl>
#include <QVariant>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>

#include "gui/browser/profile_cookies.h"

namespace vel {

namespace {

// The collection script, read once from the program's resources.
const QString& collectResourcesScript()
{
    static const QString script = [] {
        QFile file(QStringLiteral(":/vel/browser/collect_resources.js"));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }();
    return script;
}

PageResources resourcesFromResult(const QVariant& result)
{
    PageResources resources;
    // A script that threw, or a page that went away, gives no list.
    if (result.typeId() != QMetaType::QVariantList && result.typeId() != QMetaType::QStringList)
        return resources;
    resources.status = PageResources::Status::Collected;
    const QVariantList values = result.toList();
    resources.urls.reserve(values.size());
    for (const QVariant& value : values) {
        if (value.typeId() == QMetaType::QString)
            resources.urls.append(value.toString());
    }
    return resources;
}

}  // namespace

WebEnginePane::WebEnginePane(QObject* parent)
    : BrowserPane(parent)
    , m_view(new QWebEngineView)
{
    m_view->setFocusPolicy(Qt::ClickFocus);
    m_cookies = new ProfileCookies(m_view->page()->profile()->cookieStore(), this);
    connect(m_view, &QWebEngineView::loadStarted, this, [this] {
        m_loading = true;
        emit beforeNavigate();
    });
    connect(m_view, &QWebEngineView::titleChanged, this,
            [this](const QString& title) { emit titleChanged(title); });
    // The history changes as soon as the browser commits to a new address.
    connect(m_view, &QWebEngineView::urlChanged, this,
            [this](const QUrl&) { reportHistoryState(); });
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool) {
        m_loading = false;
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

void WebEnginePane::collectPageResources(ResourcesCallback done)
{
    const QUrl url = m_view->url();
    const QString& script = collectResourcesScript();
    PageResources::Status early = PageResources::Status::Collected;
    if (!m_hasDocument || url.isEmpty() || url.toString() == QStringLiteral("about:blank"))
        early = PageResources::Status::Blank;
    else if (m_loading)
        early = PageResources::Status::Loading;
    else if (script.isEmpty())
        early = PageResources::Status::Failed;
    if (early != PageResources::Status::Collected) {
        QMetaObject::invokeMethod(
            this,
            [done = std::move(done), early] {
                done(PageResources{early, {}});
            },
            Qt::QueuedConnection);
        return;
    }
    // The page's own scripts share the document but not this world, so they
    // cannot change what the script sees of the language.
    m_view->page()->runJavaScript(
        script, QWebEngineScript::ApplicationWorld,
        [pane = QPointer<WebEnginePane>(this), done = std::move(done)](const QVariant& result) {
            // The engine also answers while the page is destroyed: the answer
            // goes through the event loop, which a pane that is gone by then
            // never sees.
            if (!pane)
                return;
            QMetaObject::invokeMethod(
                pane.data(),
                [pane, done, resources = resourcesFromResult(result)] {
                    if (pane->m_view)
                        done(resources);
                },
                Qt::QueuedConnection);
        });
}

std::vector<BrowserCookie> WebEnginePane::browserCookies() const
{
    return m_cookies->snapshot();
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
