#include "gui/common/input_lock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QWidget>

namespace vel {

InputLock::InputLock()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

InputLock::~InputLock()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool InputLock::blocks(QObject* watched, const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        break;
    default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget && !qobject_cast<QMessageBox*>(widget->window());
}

bool InputLock::eventFilter(QObject* watched, QEvent* event)
{
    return blocks(watched, event) || QObject::eventFilter(watched, event);
}

}  // namespace vel
