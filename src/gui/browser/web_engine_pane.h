#pragma once

#include <QPointer>
#include <QWebEngineView>

#include "gui/browser/browser_pane.h"

namespace vel {

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

private:
    void reportHistoryState();

    // The view lives in the window's widget tree once placed there.
    QPointer<QWebEngineView> m_view;
    bool m_hasDocument = false;
    bool m_loading = false;
    bool m_canGoBack = true;
    bool m_canGoForward = true;
};

}  // namespace vel
