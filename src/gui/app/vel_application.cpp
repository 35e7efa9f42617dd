#include "gui/app/vel_application.h"

#include <exception>

#include <QMessageBox>

namespace vel {

VelApplication::VelApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{}

bool VelApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        reportError(QString::fromUtf8(error.what()));
    } catch (...) {
        reportError(QStringLiteral("不明なエラーが発生しました"));
    }
    return false;
}

void VelApplication::reportError(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("VEL"), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

}  // namespace vel
