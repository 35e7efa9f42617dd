#include "gui/browser/profile_cookies.h"

#include <algorithm>
#include <chrono>

#include <QDateTime>
#include <QWebEngineCookieStore>

namespace vel {

BrowserCookie browserCookieFrom(const QNetworkCookie& cookie)
{
    BrowserCookie converted;
    converted.name = cookie.name().toStdString();
    converted.value = cookie.value().toStdString();
    QString domain = cookie.domain();
    converted.hostOnly = !domain.startsWith(QLatin1Char('.'));
    if (!converted.hostOnly)
        domain.remove(0, 1);
    converted.domain = domain.toLower().toStdString();
    converted.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
    converted.secure = cookie.isSecure();
    if (!cookie.isSessionCookie())
        converted.expires = std::chrono::sys_seconds{
            std::chrono::seconds{cookie.expirationDate().toSecsSinceEpoch()}};
    return converted;
}

ProfileCookies::ProfileCookies(QWebEngineCookieStore* store, QObject* parent)
    : QObject(parent)
{
    if (!store)
        return;
    connect(store, &QWebEngineCookieStore::cookieAdded, this, &ProfileCookies::onAdded);
    connect(store, &QWebEngineCookieStore::cookieRemoved, this, &ProfileCookies::onRemoved);
    // The cookies the profile had before this copy was made arrive as additions.
    store->loadAllCookies();
}

std::vector<BrowserCookie> ProfileCookies::snapshot() const
{
    std::vector<BrowserCookie> cookies;
    cookies.reserve(static_cast<std::size_t>(m_cookies.size()));
    for (const QNetworkCookie& cookie : m_cookies)
        cookies.push_back(browserCookieFrom(cookie));
    return cookies;
}

void ProfileCookies::onAdded(const QNetworkCookie& cookie)
{
    // A changed cookie replaces the one of its name, domain and path.
    onRemoved(cookie);
    m_cookies.append(cookie);
}

void ProfileCookies::onRemoved(const QNetworkCookie& cookie)
{
    m_cookies.removeIf(
        [&cookie](const QNetworkCookie& kept) { return kept.hasSameIdentifier(cookie); });
}

}  // namespace vel
