#include "support/loopback_http_server.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace vel::test {

LoopbackHttpServer::LoopbackHttpServer(QObject* parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::onNewConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    // Connections still open must not report back into a half-destroyed server.
    const auto sockets = m_server.findChildren<QTcpSocket*>();
    for (QTcpSocket* socket : sockets)
        socket->disconnect(this);
}

QString LoopbackHttpServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void LoopbackHttpServer::setResponse(const QByteArray& target, const QByteArray& response)
{
    m_responses.insert(target, response);
}

void LoopbackHttpServer::setPage(const QByteArray& target, const QByteArray& contentType,
                                 const QByteArray& body)
{
    setResponse(target, "HTTP/1.1 200 OK\r\nContent-Type: " + contentType
                            + "\r\nContent-Length: " + QByteArray::number(body.size())
                            + "\r\nConnection: close\r\n\r\n" + body);
}

void LoopbackHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            for (auto& waiting : m_held)
                waiting.removeAll(socket);
            socket->deleteLater();
        });
    }
}

void LoopbackHttpServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = m_pending[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QByteArray head = buffer.left(end + 4);
    buffer.remove(0, end + 4);
    m_requests << head;
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QByteArray target = requestLine.size() > 1 ? requestLine[1] : QByteArray();
    if (auto held = m_held.find(target); held != m_held.end()) {
        held->append(socket);
        return;
    }
    answer(socket, target);
}

void LoopbackHttpServer::answer(QTcpSocket* socket, const QByteArray& target)
{
    const QByteArray response = m_responses.value(
        target, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket->write(response);
    socket->disconnectFromHost();
}

void LoopbackHttpServer::release(const QByteArray& target)
{
    const QList<QTcpSocket*> waiting = m_held.take(target);
    for (QTcpSocket* socket : waiting) {
        if (socket->state() == QAbstractSocket::ConnectedState)
            answer(socket, target);
    }
}

}  // namespace vel::test
