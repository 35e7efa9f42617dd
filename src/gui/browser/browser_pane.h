#pragma once

#include <functional>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>

#include "core/download/browser_cookies.h"

class QWidget;

namespace vel {

// What a collection of the shown page's resources found.
struct PageResources {
    enum class Status {
        Collected,  // urls holds the page's URLs (possibly none)
        Loading,  // the page is still loading: nothing was collected
        Blank,  // no page is shown
        Failed,  // the page could not be read (the script failed, the page went away)
    };
    Status status = Status::Failed;
    // Absolute URLs as the browser resolved them, in document order, each once.
    QStringList urls;
};

// The embedded browser as the main window uses it. The window talks to this
// interface only, so its tests can hand in a scripted pane.
class BrowserPane : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~BrowserPane() override = default;

    virtual QWidget* widget() = 0;

    virtual void navigate(const QString& url) = 0;
    virtual void goBack() = 0;
    virtual void goForward() = 0;
    virtual void refresh() = 0;
    // A document has been loaded (the browser has something to reload).
    virtual bool hasDocument() const = 0;
    // The top-level address of the page shown.
    virtual QString locationUrl() const = 0;
    // Collects the URLs of everything the page shown uses or links to (see
    // PageResources). Answers on the GUI thread, always after returning, and
    // at most once; no answer comes once the pane is gone.
    using ResourcesCallback = std::function<void(const PageResources&)>;
    virtual void collectPageResources(ResourcesCallback done) = 0;
    // The browser profile's cookies as they are now (held in memory only), so
    // a download can carry what the browser would send.
    virtual std::vector<BrowserCookie> browserCookies() const = 0;

signals:
    // Going back or forward became possible or impossible.
    void canGoBackChanged(bool canGoBack);
    void canGoForwardChanged(bool canGoForward);
    void titleChanged(const QString& title);
    void beforeNavigate();
    void navigateComplete();
};

}  // namespace vel
