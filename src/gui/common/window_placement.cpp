#include "gui/common/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vel {

void centreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

}  // namespace vel
