#pragma once

#include <utility>
#include <vector>

#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "gui/browser/browser_pane.h"

namespace vel::test {

// A browser pane that records what the window asks of it and lets a test play
// the browser's notifications.
class FakeBrowserPane final : public BrowserPane {
    Q_OBJECT

public:
    explicit FakeBrowserPane(QObject* parent = nullptr)
        : BrowserPane(parent)
        , m_widget(new QWidget)
    {}
    ~FakeBrowserPane() override
    {
        if (m_widget && !m_widget->parent())
            delete m_widget;
    }

    QWidget* widget() override { return m_widget; }
    void navigate(const QString& url) override { navigated << url; }
    void goBack() override { ++backs; }
    void goForward() override { ++forwards; }
    void refresh() override { ++refreshes; }
    bool hasDocument() const override { return document; }
    QString locationUrl() const override { return location; }
    // Answers with `resources` through the event loop, or keeps the request
    // for answer() when `holdCollection` is set.
    void collectPageResources(ResourcesCallback done) override
    {
        ++collections;
        if (holdCollection) {
            held = std::move(done);
            return;
        }
        QMetaObject::invokeMethod(
            this, [done = std::move(done), answer = resources] { done(answer); },
            Qt::QueuedConnection);
    }
    std::vector<BrowserCookie> browserCookies() const override { return cookies; }
    // Plays the answer to a held collection.
    void answer(const PageResources& answerWith)
    {
        if (held)
            std::exchange(held, nullptr)(answerWith);
    }

    // Plays a completed navigation to url with the given title.
    void complete(const QString& url, const QString& title)
    {
        location = url;
        document = true;
        emit beforeNavigate();
        emit titleChanged(title);
        emit navigateComplete();
    }

    QStringList navigated;
    int backs = 0;
    int forwards = 0;
    int refreshes = 0;
    bool document = false;
    QString location;
    PageResources resources{PageResources::Status::Blank, {}};
    bool holdCollection = false;
    ResourcesCallback held;
    int collections = 0;
    std::vector<BrowserCookie> cookies;

private:
    QPointer<QWidget> m_widget;
};

}  // namespace vel::test
