#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <QByteArray>
#include <QCache>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include "core/download/browser_cookies.h"
#include "core/pictures/picture_fetch_queue.h"
#include "core/pictures/size_filter.h"
#include "gui/foundfiles/found_files_model.h"
#include "gui/thumbnails/picture_decoder.h"

class QTemporaryDir;

namespace vel {

// The entries' pictures by URL: fetched into the on-disk picture cache by a
// PictureFetchQueue, decoded at thumbnail size on a small pool of worker
// threads, kept decoded within kMemoryBytes (least recently used out first,
// decoded again from the cache when wanted again). The GUI thread only
// receives finished results.
class ThumbnailStore final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ThumbnailStore)

public:
    static constexpr qsizetype kMemoryBytes = qsizetype{128} * 1024 * 1024;

    // `cacheFolder` holds the fetched bodies; an empty path: a temporary
    // folder of this run.
    ThumbnailStore(const std::filesystem::path& cacheFolder, QSize thumbnailSize,
                   QObject* parent = nullptr);
    ~ThumbnailStore() override;

    // The entries in view and just ahead, most wanted first: those not known
    // yet are fetched and decoded; those decoded before and pushed out of
    // memory are decoded again.
    void want(const std::vector<PictureRequest>& requests, std::vector<BrowserCookie> cookies);
    // Measures these too, after what is in view; measured() once none is pending.
    void measure(const std::vector<PictureRequest>& requests, std::vector<BrowserCookie> cookies);
    bool known(const std::string& url) const;
    PictureNote note(const std::string& url);
    PictureFacts facts(const std::string& url) const;
    PictureCache& cache() { return *m_cache; }
    // Ends the fetches and decodes; nothing is reported afterwards.
    void stop();

signals:
    // Some pictures became known (coalesced).
    void changed();
    void measured();

private:
    enum class State { Asked, Decoding, Done };
    struct Entry {
        State state = State::Asked;
        PictureFacts facts;
        QString problem;
    };

    void onFetched(const PictureFetched& fetched);
    void decode(const std::string& url);
    void onDecoded(const std::string& url, const DecodedPicture& decoded, bool missing);
    void pushWishes();
    void noteChange();

    QSize m_thumbnailSize;
    std::unique_ptr<QTemporaryDir> m_temporary;
    std::unique_ptr<PictureCache> m_cache;
    QThreadPool m_decoders;
    std::unordered_map<std::string, Entry> m_entries;
    QCache<QByteArray, QImage> m_images;
    std::vector<PictureRequest> m_wanted;
    std::vector<PictureRequest> m_measuring;
    std::vector<BrowserCookie> m_cookies;
    QTimer m_changeTimer;
    bool m_stopped = false;
    std::unique_ptr<PictureFetchQueue> m_queue;  // last: stops first
};

}  // namespace vel
