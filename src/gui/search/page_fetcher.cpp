#include "gui/search/page_fetcher.h"

#include <QMetaObject>

#include "core/http/http_client.h"

namespace vel {

PageFetcher::PageFetcher(std::unique_ptr<HttpClient> client, QObject* parent)
    : QObject(parent)
    , m_client(std::move(client))
{
}

PageFetcher::~PageFetcher()
{
    abortAndWait();
}

bool PageFetcher::start(std::string url)
{
    if (m_busy || !m_client)
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_client->resetAbort();
    try {
        m_thread = std::thread([this, url = std::move(url)] {
            auto source = std::make_shared<std::string>();
            PageFetchVerdict verdict = PageFetchVerdict::OtherFailure;
            try {
                verdict = fetchPageSource(*m_client, url, *source);
            } catch (...) {
                // Out of memory or the like: the page cannot be had.
                source->clear();
            }
            try {
                QMetaObject::invokeMethod(
                    this,
                    [this, verdict, source] {
                        m_busy = false;
                        emit finished(verdict, source);
                    },
                    Qt::QueuedConnection);
            } catch (...) {
                // Nothing can be told any more; the window's close still joins us.
            }
        });
    } catch (...) {
        return false;
    }
    m_busy = true;
    return true;
}

void PageFetcher::abortAndWait()
{
    if (m_client)
        m_client->abort();
    if (m_thread.joinable())
        m_thread.join();
}

}  // namespace vel
