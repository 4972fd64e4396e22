#include "http_responder.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace updatetest {

HttpResponder::HttpResponder() {
    connect(&m_server, &QTcpServer::newConnection, this, &HttpResponder::onNewConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl HttpResponder::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void HttpResponder::answer(const QByteArray& path, const QByteArray& raw) {
    m_answers.insert(path, raw);
}

QByteArray HttpResponder::response(int status, const QByteArray& body,
                                   const QByteArray& extraHeaders) {
    return "HTTP/1.1 " + QByteArray::number(status) +
           " Test\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

void HttpResponder::onNewConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++m_connections;
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (m_pending.remove(socket) || socket->property("silent").toBool())
                ++m_closedByPeer;
            socket->deleteLater();
        });
        m_pending.insert(socket, {});
    }
}

void HttpResponder::onReadyRead(QTcpSocket* socket) {
    if (!m_pending.contains(socket)) {
        socket->readAll();
        return;
    }
    QByteArray& buffer = m_pending[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    ReceivedRequest request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
    }
    m_requests.append(request);
    m_pending.remove(socket);
    const auto found = m_answers.constFind(request.path);
    if (found == m_answers.constEnd()) {
        socket->setProperty("silent", true);
        return;
    }
    socket->write(*found);
    socket->disconnectFromHost();
}

} // namespace updatetest
