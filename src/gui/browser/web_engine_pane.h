#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QPointer>
#include <QVariant>
#include <QWebEngineView>

#include "gui/browser/browser_pane.h"

namespace vel {

class ProfileCookies;
struct ReferencePlan;

// The browser pane on Qt WebEngine.
class WebEnginePane final : public BrowserPane {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebEnginePane)

public:
    explicit WebEnginePane(QObject* parent = nullptr);
    ~WebEnginePane() override;

    QWidget* widget() override;
    QWebEngineView* view() const { return m_view; }

    void navigate(const QString& url) override;
    void goBack() override;
    void goForward() override;
    void refresh() override;
    bool hasDocument() const override;
    QString locationUrl() const override;
    void collectPageResources(ResourcesCallback done) override;
    std::vector<BrowserCookie> browserCookies() const override;

private:
    void reportHistoryState();
    // Runs a script in the page's isolated world; the answer comes through the
    // event loop, and never once the pane is gone.
    void runInPage(const QString& script, std::function<void(const QVariant&)> answer);
    void readCollection(const QVariant& result, const ResourcesCallback& done);
    void finishCollection(std::shared_ptr<ReferencePlan> plan, std::vector<std::string> resolved,
                          const ResourcesCallback& done);
    // Runs `work` on a thread of its own and hands its result to `then` on
    // the GUI thread, unless the pane is gone by then. The GUI thread never
    // waits for it.
    template <typename Result>
    void offThread(std::function<Result()> work, std::function<void(Result)> then);

    // The view lives in the window's widget tree once placed there.
    QPointer<QWebEngineView> m_view;
    ProfileCookies* m_cookies = nullptr;
    bool m_hasDocument = false;
    bool m_loading = false;
    bool m_canGoBack = true;
    bool m_canGoForward = true;
    // Set to stop the page reading that runs off the GUI thread.
    std::shared_ptr<std::atomic<bool>> m_stopReading;
};

}  // namespace vel
