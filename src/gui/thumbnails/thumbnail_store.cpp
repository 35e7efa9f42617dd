#include "gui/thumbnails/thumbnail_store.h"

#include <algorithm>
#include <chrono>
#include <unordered_set>
#include <utility>

#include <QMetaObject>
#include <QTemporaryDir>

namespace vel {

namespace {

QByteArray keyOf(const std::string& url)
{
    return QByteArray(url.data(), static_cast<qsizetype>(url.size()));
}

QString problemOf(const PictureFetched& fetched)
{
    switch (fetched.end) {
    case PictureFetchEnd::Stored:
        return {};
    case PictureFetchEnd::ErrorStatus:
        return QStringLiteral("サーバーがエラーを返しました（HTTP %1）").arg(fetched.httpStatus);
    case PictureFetchEnd::CutShort:
        return QStringLiteral("ファイルが途中で切れています");
    case PictureFetchEnd::TooLarge:
        return QStringLiteral("ファイルが大きすぎて縮小表示できません");
    case PictureFetchEnd::Failed:
        return QStringLiteral("ファイルを取得できませんでした");
    }
    return {};
}

}  // namespace

ThumbnailStore::ThumbnailStore(const std::filesystem::path& cacheFolder, QSize thumbnailSize,
                               QObject* parent)
    : QObject(parent)
    , m_thumbnailSize(thumbnailSize)
    , m_images(kMemoryBytes)
{
    std::filesystem::path folder = cacheFolder;
    if (folder.empty()) {
        m_temporary = std::make_unique<QTemporaryDir>();
        folder = m_temporary->path().toStdString();
    }
    m_cache = std::make_unique<PictureCache>(folder);
    m_decoders.setMaxThreadCount(2);
    m_changeTimer.setSingleShot(true);
    m_changeTimer.setInterval(30);
    connect(&m_changeTimer, &QTimer::timeout, this, &ThumbnailStore::changed);
    m_queue = std::make_unique<PictureFetchQueue>(*m_cache, [this](const PictureFetched& f) {
        QMetaObject::invokeMethod(
            this, [this, f] { onFetched(f); }, Qt::QueuedConnection);
    });
}

ThumbnailStore::~ThumbnailStore()
{
    stop();
}

void ThumbnailStore::stop()
{
    m_stopped = true;
    m_changeTimer.stop();
    if (m_queue)
        m_queue->stop();
    m_decoders.clear();
    m_decoders.waitForDone();
}

void ThumbnailStore::want(const std::vector<PictureRequest>& requests,
                          std::vector<BrowserCookie> cookies)
{
    m_wanted = requests;
    m_cookies = std::move(cookies);
    for (const PictureRequest& request : requests) {
        const auto found = m_entries.find(request.url);
        // A picture pushed out of memory is decoded again from the cache.
        if (found != m_entries.end() && found->second.state == State::Done
            && found->second.problem.isEmpty() && !m_images.contains(keyOf(request.url)))
            decode(request.url);
    }
    pushWishes();
}

void ThumbnailStore::measure(const std::vector<PictureRequest>& requests,
                             std::vector<BrowserCookie> cookies)
{
    m_measuring = requests;
    m_cookies = std::move(cookies);
    pushWishes();
}

// The queue gets what is in view, then what is measured, of what is not
// known yet; entries asked for before and no longer wanted are forgotten
// (one that was being fetched still reports).
void ThumbnailStore::pushWishes()
{
    if (m_stopped)
        return;
    std::vector<PictureRequest> asked;
    std::unordered_set<std::string> askedUrls;
    for (const auto* list : {&m_wanted, &m_measuring}) {
        for (const PictureRequest& request : *list) {
            const auto [where, added] = m_entries.try_emplace(request.url);
            if ((added || where->second.state == State::Asked)
                && askedUrls.insert(request.url).second)
                asked.push_back(request);
        }
    }
    std::erase_if(m_entries, [&askedUrls](const auto& entry) {
        return entry.second.state == State::Asked && !askedUrls.contains(entry.first);
    });
    if (m_measuring.empty() || std::all_of(m_measuring.begin(), m_measuring.end(), [this](auto& r) {
            return known(r.url);
        })) {
        if (!m_measuring.empty()) {
            m_measuring.clear();
            emit measured();
        }
    }
    m_queue->want(
        std::move(asked), m_cookies,
        std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()));
}

void ThumbnailStore::onFetched(const PictureFetched& fetched)
{
    if (m_stopped)
        return;
    Entry& entry = m_entries[fetched.url];
    // Asked again before the first answer arrived: that one counts.
    if (entry.state != State::Asked)
        return;
    if (fetched.end != PictureFetchEnd::Stored) {
        entry.state = State::Done;
        entry.problem = problemOf(fetched);
        noteChange();
        pushWishes();
        return;
    }
    entry.facts.bytes = fetched.size;
    decode(fetched.url);
}

void ThumbnailStore::decode(const std::string& url)
{
    m_entries[url].state = State::Decoding;
    PictureCache* cache = m_cache.get();
    const QSize box = m_thumbnailSize;
    m_decoders.start([this, cache, url, box] {
        std::optional<CachedBody> body = cache->open(url);
        std::optional<std::string> bytes = body ? body->readAll() : std::nullopt;
        const DecodedPicture decoded = bytes ? decodePicture(*bytes, box) : DecodedPicture{};
        const bool missing = !bytes;
        QMetaObject::invokeMethod(
            this, [this, url, decoded, missing] { onDecoded(url, decoded, missing); },
            Qt::QueuedConnection);
    });
}

void ThumbnailStore::onDecoded(const std::string& url, const DecodedPicture& decoded, bool missing)
{
    if (m_stopped)
        return;
    // Gone from the cache meanwhile: fetched again when wanted.
    if (missing) {
        m_entries[url].state = State::Asked;
        pushWishes();
        return;
    }
    Entry& entry = m_entries[url];
    entry.state = State::Done;
    entry.facts = decoded.facts;
    entry.problem = decoded.problem;
    if (!decoded.image.isNull())
        m_images.insert(keyOf(url), new QImage(decoded.image),
                        std::max<qsizetype>(1, decoded.image.sizeInBytes()));
    noteChange();
    pushWishes();
}

bool ThumbnailStore::known(const std::string& url) const
{
    const auto found = m_entries.find(url);
    return found != m_entries.end() && found->second.state == State::Done;
}

PictureNote ThumbnailStore::note(const std::string& url)
{
    const auto found = m_entries.find(url);
    if (found == m_entries.end())
        return {};
    PictureNote note{found->second.facts, {}, found->second.problem};
    if (const QImage* image = m_images.object(keyOf(url)))
        note.thumbnail = *image;
    return note;
}

PictureFacts ThumbnailStore::facts(const std::string& url) const
{
    const auto found = m_entries.find(url);
    return found == m_entries.end() ? PictureFacts{} : found->second.facts;
}

void ThumbnailStore::noteChange()
{
    if (!m_changeTimer.isActive())
        m_changeTimer.start();
}

}  // namespace vel
