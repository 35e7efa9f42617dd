#include "gui/common/input_lock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

namespace vel {

namespace {

// The widget let through is pressed with the mouse or its keys; the focus
// never leaves it with Tab, and no shortcut goes through it.
bool exceptionTakes(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const int key = static_cast<const QKeyEvent*>(event)->key();
        return key != Qt::Key_Tab && key != Qt::Key_Backtab;
    }
    default:
        return false;
    }
}

}  // namespace

InputLock::InputLock(QWidget* exception)
    : m_exception(exception)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

InputLock::~InputLock()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool InputLock::blocks(QObject* watched, const QEvent* event, const QWidget* exception)
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
    if (!widget || qobject_cast<QMessageBox*>(widget->window()))
        return false;
    return widget != exception || !exceptionTakes(event);
}

bool InputLock::eventFilter(QObject* watched, QEvent* event)
{
    return blocks(watched, event, m_exception.data()) || QObject::eventFilter(watched, event);
}

}  // namespace vel
