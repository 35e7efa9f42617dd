#include "gui/desktop/url_drop_target.h"

#include <QChildEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

namespace vel {

namespace {

bool isWebUrl(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QStringLiteral("http") || url.scheme() == QStringLiteral("https"));
}

}  // namespace

QUrl droppedWebUrl(const QMimeData& data)
{
    if (data.hasUrls()) {
        for (const QUrl& url : data.urls()) {
            if (isWebUrl(url))
                return url;
        }
        return {};
    }
    if (!data.hasText())
        return {};
    const QString text = data.text().trimmed();
    if (text.contains(QLatin1Char(' ')) || text.contains(QLatin1Char('\n')))
        return {};
    const QUrl url(text, QUrl::StrictMode);
    return isWebUrl(url) ? url : QUrl();
}

UrlDropTarget::UrlDropTarget(QWidget* widget)
    : QObject(widget)
{
    watch(widget);
}

void UrlDropTarget::watch(QObject* object)
{
    // Only widgets take drops; a widget being made already says it is one.
    if (!object->isWidgetType())
        return;
    object->installEventFilter(this);
    static_cast<QWidget*>(object)->setAcceptDrops(true);
    for (QObject* child : object->children())
        watch(child);
}

bool UrlDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        watch(static_cast<QChildEvent*>(event)->child());
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData())
            return false;
        const QUrl url = droppedWebUrl(*drop->mimeData());
        if (url.isEmpty())
            return false;
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop)
            emit urlDropped(url);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

}  // namespace vel
