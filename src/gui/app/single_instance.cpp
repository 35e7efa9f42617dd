#include "gui/app/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace vel {

namespace {

// An address handed over is one line of UTF-8; anything longer is no address.
constexpr qsizetype kMaxHandOverBytes = 64 * 1024;
// How long a second VEL waits for the first to take its address: the first
// may hold the lock but not yet listen, a moment after its own start.
constexpr int kHandOverWaitMs = 5000;
constexpr int kHandOverRetryMs = 100;

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

SingleInstance::SingleInstance(const QString& directory, QObject* parent)
    : QObject(parent)
{
    const QString base =
        lockDirectory(directory) + QStringLiteral("/vel-") + QString::number(getuid());
    m_channelName = base + QStringLiteral(".socket");
    m_lock = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
    // Only a lock whose process is gone counts as stale, however old it is.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    if (!m_lock->tryLock(0))
        return false;
    // The lock is ours, so a channel left at the name is a dead VEL's.
    QLocalServer::removeServer(m_channelName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    if (!m_server->listen(m_channelName)) {
        delete m_server;
        m_server = nullptr;
    }
    return true;
}

bool SingleInstance::handOver(const QString& url)
{
    const QByteArray message = url.toUtf8() + '\n';
    if (message.size() > kMaxHandOverBytes)
        return false;
    QLocalSocket socket;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        socket.connectToServer(m_channelName);
        if (socket.waitForConnected(kHandOverWaitMs))
            break;
        if (waited.elapsed() >= kHandOverWaitMs)
            return false;
        QThread::msleep(kHandOverRetryMs);
    }
    socket.write(message);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(kHandOverWaitMs))
            return false;
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // What came with the close is read before the socket goes.
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            onHandOverRead(socket);
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onHandOverRead(socket); });
        onHandOverRead(socket);
    }
}

void SingleInstance::onHandOverRead(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxHandOverBytes)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine();
    // One address per connection: what follows it is dropped.
    socket->abort();
    if (line.size() > 1 && line.size() <= kMaxHandOverBytes)
        emit pageHandedOver(QString::fromUtf8(line.chopped(1)));
}

}  // namespace vel
