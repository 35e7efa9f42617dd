#include "gui/app/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace vel {

namespace {

QString lockDirectory(const QString& requested)
{
    if (!requested.isEmpty())
        return requested;
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

}  // namespace

SingleInstance::SingleInstance(const QString& directory)
    : m_lock(std::make_unique<QLockFile>(lockDirectory(directory) + QStringLiteral("/vel-")
                                         + QString::number(getuid()) + QStringLiteral(".lock")))
{
    // Only a lock whose process is gone counts as stale, however old it is.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    return m_lock->tryLock(0);
}

}  // namespace vel
