#include "gui/common/message_box.h"

#include <QMessageBox>
#include <QString>

namespace vel {

void showMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("VEL"), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace vel
