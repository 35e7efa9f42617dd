#pragma once

#include <memory>

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace vel {

// Keeps a second VEL of the same user from starting, and lets it hand the
// running one an address to show. The lock and the channel live in the
// user's runtime directory, never beside the settings files.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    explicit SingleInstance(const QString& directory = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the only VEL; the lock is held until
    // destruction, and from then on addresses handed over arrive as
    // pageHandedOver. Without a channel (it cannot be made) VEL runs alone.
    bool acquire();
    // Gives the VEL that holds the lock an address to show, waiting for it
    // at most a few seconds while it starts up. False when no VEL took it.
    bool handOver(const QString& url);

signals:
    void pageHandedOver(const QString& url);

private:
    void onNewConnection();
    void onHandOverRead(QLocalSocket* socket);

    QString m_channelName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

}  // namespace vel
