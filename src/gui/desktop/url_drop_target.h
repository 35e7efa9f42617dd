#pragma once

#include <QObject>
#include <QUrl>

class QMimeData;
class QWidget;

namespace vel {

// The web address a drag carries: the first http or https address of a
// text/uri-list, else plain text that is one such address (spaces around it
// aside). Empty for anything else, files included, which stay the page's.
QUrl droppedWebUrl(const QMimeData& data);

// Takes the web addresses dropped on a widget and on the widgets inside it,
// now and later (a browser makes its inner widget when it first shows a
// page), before the widgets themselves see the drop. Other drags go on to
// them unchanged.
class UrlDropTarget final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UrlDropTarget)

public:
    // Watches `widget`, its parent.
    explicit UrlDropTarget(QWidget* widget);

signals:
    void urlDropped(const QUrl& url);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QObject* object);
};

}  // namespace vel
