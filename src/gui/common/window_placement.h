#pragma once

class QWidget;

namespace vel {

// Places a dialog in the middle of the primary screen, where the program's
// boxes appear.
void centreOnScreen(QWidget* window);

}  // namespace vel
