#pragma once

#include <functional>

#include <QPointer>
#include <QVariant>
#include <QWebEngineView>

#include "gui/browser/browser_pane.h"

namespace vel {

class ProfileCookies;

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

    // The view lives in the window's widget tree once placed there.
    QPointer<QWebEngineView> m_view;
    ProfileCookies* m_cookies = nullptr;
    bool m_hasDocument = false;
    bool m_loading = false;
    bool m_canGoBack = true;
    bool m_canGoForward = true;
};

}  // namespace vel
