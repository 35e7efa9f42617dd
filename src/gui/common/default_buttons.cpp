#include "gui/common/default_buttons.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QWidget>

namespace vel {

DefaultButtons::DefaultButtons(QAbstractButton* defaultButton, QAbstractButton* cancelButton,
                               QObject* parent)
    : QObject(parent)
    , m_default(defaultButton)
    , m_cancel(cancelButton)
{}

void DefaultButtons::watch(QWidget* control)
{
    control->installEventFilter(this);
}

void DefaultButtons::watchChildrenOf(QWidget* window)
{
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children)
        watch(child);
}

void DefaultButtons::unwatch(QWidget* control)
{
    control->removeEventFilter(this);
    const auto children = control->findChildren<QWidget*>();
    for (QWidget* child : children)
        child->removeEventFilter(this);
}

bool DefaultButtons::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = keyEvent->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return false;

    const int key = keyEvent->key();
    if (key == Qt::Key_Escape) {
        // An open drop-down list takes Esc to close itself.
        if (auto* combo = qobject_cast<QComboBox*>(watched); combo && combo->view()->isVisible())
            return false;
        if (m_cancel)
            m_cancel->click();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // A focused button takes Enter itself.
        if (qobject_cast<QAbstractButton*>(watched))
            return false;
        if (auto* combo = qobject_cast<QComboBox*>(watched); combo && combo->view()->isVisible())
            return false;
        if (m_default)
            m_default->click();
        return true;
    }
    return false;
}

}  // namespace vel
