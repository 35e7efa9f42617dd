#include "gui/desktop/raise_window.h"

#include <QWidget>

namespace vel {

void raiseWindow(QWidget* window)
{
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace vel
