#pragma once

class QWidget;

namespace vel {

// Brings a window to the front, restored from the task bar, when the user
// asked for it from outside (an address handed over, a notification clicked).
// The window manager may still only mark it as wanting attention.
void raiseWindow(QWidget* window);

}  // namespace vel
