#pragma once

#include <QRect>
#include <QString>

class QPushButton;
class QWidget;

namespace vel {

// How long a control's hint stays up.
inline constexpr int kHintMilliseconds = 10000;

// A main-window button: found by its old name, placed where the window's
// layout puts it, with its hint and theme icon (none for an empty name).
// Enter on the focused button presses it.
QPushButton* makePushButton(QWidget* parent, const char* objectName, const QString& caption,
                            const QString& hint, const char* iconName, QRect geometry);

}  // namespace vel
