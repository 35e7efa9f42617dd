#include "gui/browser/web_engine_pane.h"

#include <atomic>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaObject>
#include <QThread>
#include <QUrl>
#include <QVariant>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>

#include "core/search/rendered_references.h"
#include "gui/browser/profile_cookies.h"

namespace vel {

namespace {

// A script of the program's resources, read once.
QString resourceScript(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

const QString& collectResourcesScript()
{
    static const QString script =
        resourceScript(QStringLiteral(":/vel/browser/collect_resources.js"));
    return script;
}

const QString& resolveUrlsScript()
{
    static const QString script = resourceScript(QStringLiteral(":/vel/browser/resolve_urls.js"));
    return script;
}

// The documents the collection script answered with; nothing when it threw
// or the page went away.
std::optional<std::vector<RenderedDocument>> documentsFromResult(const QVariant& result)
{
    if (result.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    std::vector<RenderedDocument> documents;
    for (const QVariant& item : result.toList()) {
        const QVariantList fields = item.toList();
        RenderedDocument document;
        if (fields.size() == 4) {
            document.markup = fields[0].toString().toStdString();
            document.baseUrl = fields[1].toString().toStdString();
            for (const QVariant& frame : fields[2].toList())
                document.frames.push_back(frame.toInt());
            for (const QVariant& url : fields[3].toList())
                document.otherUrls.push_back(url.toString().toStdString());
        }
        documents.push_back(std::move(document));
    }
    if (documents.empty())
        return std::nullopt;
    return documents;
}

PageResources collected(ReferencePlan plan, const std::vector<std::string>& resolved)
{
    PageResources resources{PageResources::Status::Collected, {}};
    const std::vector<std::string> urls = finishRenderedReferences(std::move(plan), resolved);
    resources.urls.reserve(static_cast<qsizetype>(urls.size()));
    for (const std::string& url : urls)
        resources.urls.append(QString::fromStdString(url));
    return resources;
}

// The values the browser resolves, as the arguments of the resolving script:
// each base URL once, then [value, base index] pairs.
QString resolveCall(const ReferencePlan& plan)
{
    QJsonArray bases;
    QJsonArray pairs;
    std::unordered_map<std::string_view, int> baseIndex;
    for (const auto& [value, base] : plan.pending) {
        const auto [at, added] = baseIndex.emplace(base, static_cast<int>(bases.size()));
        if (added)
            bases.append(QString::fromStdString(base));
        pairs.append(QJsonArray{QString::fromStdString(value), at->second});
    }
    return resolveUrlsScript() + QLatin1Char('(')
        + QString::fromUtf8(QJsonDocument(bases).toJson(QJsonDocument::Compact)) + QLatin1Char(',')
        + QString::fromUtf8(QJsonDocument(pairs).toJson(QJsonDocument::Compact))
        + QStringLiteral(");");
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
    if (m_stopReading)
        m_stopReading->store(true);
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
    runInPage(script, [this, done = std::move(done)](const QVariant& result) {
        readCollection(result, done);
    });
}

void WebEnginePane::runInPage(const QString& script, std::function<void(const QVariant&)> answer)
{
    // The page's own scripts share the document but not this world, so they
    // cannot change what the script sees of the language.
    m_view->page()->runJavaScript(
        script, QWebEngineScript::ApplicationWorld,
        [pane = QPointer<WebEnginePane>(this), answer = std::move(answer)](const QVariant& result) {
            // The engine also answers while the page is destroyed: the answer
            // goes through the event loop, which a pane that is gone by then
            // never sees.
            if (!pane)
                return;
            QMetaObject::invokeMethod(
                pane.data(),
                [pane, answer, result] {
                    if (pane->m_view)
                        answer(result);
                },
                Qt::QueuedConnection);
        });
}

template <typename Result>
void WebEnginePane::offThread(std::function<Result()> work, std::function<void(Result)> then)
{
    // The worker keeps its own copy of everything it reads; its answer comes
    // back through the pane's event loop, and is dropped once the pane is gone.
    auto answer = std::make_shared<Result>();
    QThread* thread = QThread::create([work = std::move(work), answer] {
        try {
            *answer = work();
        } catch (...) {
            *answer = Result{};  // a page too big to read is a page that could not be read
        }
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this,
            [answer, then = std::move(then)] { then(std::move(*answer)); });
    thread->start();
}

void WebEnginePane::readCollection(const QVariant& result, const ResourcesCallback& done)
{
    // Reading a big page takes a while: it runs off the GUI thread, and a
    // newer collection or the pane's end makes it stop early.
    if (m_stopReading)
        m_stopReading->store(true);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_stopReading = stop;
    offThread<std::shared_ptr<ReferencePlan>>(
        [result, stop]() -> std::shared_ptr<ReferencePlan> {
            std::optional<std::vector<RenderedDocument>> documents = documentsFromResult(result);
            if (!documents)
                return nullptr;
            auto plan =
                std::make_shared<ReferencePlan>(planRenderedReferences(*documents, stop.get()));
            return stop->load() ? nullptr : plan;
        },
        [this, stop, done](std::shared_ptr<ReferencePlan> plan) {
            if (stop->load())
                return;  // a newer collection took over; it answers instead
            if (!plan) {
                done(PageResources{PageResources::Status::Failed, {}});
                return;
            }
            if (plan->pending.empty()) {
                finishCollection(std::move(plan), {}, done);
                return;
            }
            // What is not a plain join goes back to the browser to be resolved.
            // Should that fail (the page went away meanwhile), only those values
            // are lost.
            QString call;
            try {
                call = resolveCall(*plan);
            } catch (const std::bad_alloc&) {
                done(PageResources{PageResources::Status::Failed, {}});
                return;
            }
            runInPage(call, [this, plan, done](const QVariant& answer) {
                std::vector<std::string> resolved;
                try {
                    for (const QVariant& url : answer.toList())
                        resolved.push_back(url.typeId() == QMetaType::QString
                                               ? url.toString().toStdString()
                                               : std::string());
                } catch (const std::bad_alloc&) {
                    resolved.clear();  // only the values the browser resolves are lost
                }
                finishCollection(plan, std::move(resolved), done);
            });
        });
}

void WebEnginePane::finishCollection(std::shared_ptr<ReferencePlan> plan,
                                     std::vector<std::string> resolved,
                                     const ResourcesCallback& done)
{
    offThread<std::optional<PageResources>>(
        [plan, resolved = std::move(resolved)]() -> std::optional<PageResources> {
            return collected(std::move(*plan), resolved);
        },
        [done](std::optional<PageResources> resources) {
            done(resources ? std::move(*resources)
                           : PageResources{PageResources::Status::Failed, {}});
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
        emit canGoForwardChanged(canGoForward);
    }
    if (canGoBack != m_canGoBack) {
        m_canGoBack = canGoBack;
        emit canGoBackChanged(canGoBack);
    }
}

}  // namespace vel
