#include "gui/common/push_button.h"

#include <QIcon>
#include <QPushButton>

namespace vel {

QPushButton* makePushButton(QWidget* parent, const char* objectName, const QString& caption,
                            const QString& hint, const char* iconName, QRect geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(geometry);
    button->setAutoDefault(true);
    if (!hint.isEmpty()) {
        button->setToolTip(hint);
        button->setToolTipDuration(kHintMilliseconds);
    }
    if (iconName)
        button->setIcon(QIcon::fromTheme(QString::fromLatin1(iconName)));
    return button;
}

}  // namespace vel
