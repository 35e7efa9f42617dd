#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace vel {

// The embedded browser as the main window uses it. The window talks to this
// interface only, so its tests can hand in a scripted pane.
class BrowserPane : public QObject {
    Q_OBJECT

public:
    // Command values of commandStateChanged.
    static constexpr int kForwardCommand = 1;
    static constexpr int kBackCommand = 2;

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

signals:
    void commandStateChanged(int command, bool enable);
    void titleChanged(const QString& title);
    void beforeNavigate();
    void navigateComplete();
};

}  // namespace vel
