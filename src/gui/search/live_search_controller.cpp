#include "gui/search/live_search_controller.h"

#include <utility>

#include <QTimer>

#include "core/foundfiles/live_entries.h"
#include "core/search/file_search.h"

namespace vel {

namespace {

const QString kLoadingText =
    QStringLiteral("ページを読み込んでいます。読み込みが終わってからサーチしてください");
const QString kBlankText = QStringLiteral("表示中のページがありません");
const QString kFailedText = QStringLiteral("表示中のページを読み取れませんでした");
const QString kTimeoutText = QStringLiteral("表示中のページから応答がありませんでした");

}  // namespace

LiveSearchController::LiveSearchController(BrowserPane* browser,
                                           std::function<const std::vector<FoundEntry>&()> listed,
                                           QObject* parent)
    : QObject(parent)
    , m_browser(browser)
    , m_listed(std::move(listed))
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &LiveSearchController::onTimeout);
}

bool LiveSearchController::start(std::string extension)
{
    if (m_busy || !m_browser)
        return false;
    m_busy = true;
    const std::uint64_t search = ++m_search;
    m_extension = std::move(extension);
    m_pageUrl = m_browser->locationUrl().toStdString();
    m_timer->start(m_timeout);
    m_browser->collectPageResources(
        [self = QPointer<LiveSearchController>(this), search](const PageResources& resources) {
            if (self)
                self->onCollected(search, resources);
        });
    return true;
}

void LiveSearchController::onCollected(std::uint64_t search, const PageResources& resources)
{
    if (!m_busy || search != m_search)
        return;
    LiveSearchResult result;
    switch (resources.status) {
    case PageResources::Status::Collected: {
        std::vector<std::string> urls;
        urls.reserve(static_cast<std::size_t>(resources.urls.size()));
        for (const QString& url : resources.urls)
            urls.push_back(url.toStdString());
        LiveEntries found = liveEntries(urls, m_extension, m_listed(), m_pageUrl, kMaxFoundEntries);
        const std::string text = foundFilesStatusText(found.entries.size(), found.leftOut);
        result.statusText = QString::fromStdString(text);
        result.entries = std::move(found.entries);
        break;
    }
    case PageResources::Status::Loading:
        result.statusText = kLoadingText;
        break;
    case PageResources::Status::Blank:
        result.statusText = kBlankText;
        break;
    case PageResources::Status::Failed:
        result.statusText = kFailedText;
        break;
    }
    finish(std::move(result));
}

void LiveSearchController::onTimeout()
{
    if (!m_busy)
        return;
    // A late answer belongs to no search.
    ++m_search;
    finish({{}, kTimeoutText});
}

void LiveSearchController::finish(LiveSearchResult result)
{
    m_timer->stop();
    m_busy = false;
    emit finished(result);
}

}  // namespace vel
