#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

namespace vel::test {

// A tiny HTTP server on 127.0.0.1 for widget tests: each path answers with the
// bytes a test scripted for it. Requests are recorded as received.
class LoopbackHttpServer final : public QObject {
    Q_OBJECT

public:
    explicit LoopbackHttpServer(QObject* parent = nullptr);
    ~LoopbackHttpServer() override;

    quint16 port() const { return m_server.serverPort(); }
    QString url(const QString& path) const;

    // The whole answer, status line and headers included, for a request target.
    void setResponse(const QByteArray& target, const QByteArray& response);
    // A 200 answer with the given type and body, closing the connection.
    void setPage(const QByteArray& target, const QByteArray& contentType, const QByteArray& body);

    // Requests for a held target get their answer only when released.
    void hold(const QByteArray& target) { m_held.insert(target, {}); }
    void release(const QByteArray& target);

    const QList<QByteArray>& requests() const { return m_requests; }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& target);

    QTcpServer m_server;
    QHash<QByteArray, QByteArray> m_responses;
    QHash<QTcpSocket*, QByteArray> m_pending;
    QHash<QByteArray, QList<QTcpSocket*>> m_held;
    QList<QByteArray> m_requests;
};

}  // namespace vel::test
