#pragma once

#include <QRect>
#include <QString>

class QPushButton;
class QWidget;

namespace vel {

// How long a control's hint stays up.
inline constexpr int kHintMilliseconds = 10000;

// A button of the program's windows: found by its object name, placed where
// the window's layout puts it, with its hint (none when empty) and theme icon
// (none without a name). Enter on the focused button presses it.
QPushButton* makePushButton(QWidget* parent, const char* objectName, const QString& caption,
                            const QString& hint, const char* iconName, QRect geometry);

}  // namespace vel
