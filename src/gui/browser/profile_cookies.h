#pragma once

#include <vector>

#include <QList>
#include <QNetworkCookie>
#include <QObject>

#include "core/download/browser_cookies.h"

class QWebEngineCookieStore;

namespace vel {

// The browser cookie as VEL's downloads match it: a domain with a leading dot
// is a domain cookie, one without it goes to its host alone.
BrowserCookie browserCookieFrom(const QNetworkCookie& cookie);

// An in-memory copy of a browser profile's cookies, kept up to date from the
// profile's cookie store, so a batch can send what the browser would send.
// Nothing of it is ever written to disk.
class ProfileCookies final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfileCookies)

public:
    explicit ProfileCookies(QWebEngineCookieStore* store, QObject* parent = nullptr);

    // The cookies now, oldest first.
    std::vector<BrowserCookie> snapshot() const;

private:
    void onAdded(const QNetworkCookie& cookie);
    void onRemoved(const QNetworkCookie& cookie);

    QList<QNetworkCookie> m_cookies;
};

}  // namespace vel
