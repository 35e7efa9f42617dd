#pragma once

class QString;
class QWidget;

namespace vel {

// The program's plain message: title "VEL", no icon, an OK button; returns
// when the user closed it.
void showMessage(QWidget* parent, const QString& text);

}  // namespace vel
