// A small HTTP server on 127.0.0.1 for the update check's tests: it records
// every request it reads and answers each path with the bytes set for it, or
// keeps silent when none are set.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

namespace updatetest {

// One request as the server read it.
struct ReceivedRequest {
    QByteArray method;
    QByteArray path;
    QHash<QByteArray, QByteArray> headers; // names in lower case
};

class HttpResponder : public QObject {
    Q_OBJECT
  public:
    // Starts listening on a free port of 127.0.0.1.
    HttpResponder();

    // True when the server listens.
    bool isListening() const { return m_server.isListening(); }
    // The address of path on this server.
    QUrl url(const QString& path = QStringLiteral("/update.txt")) const;
    // Answers requests for path with raw (a whole HTTP response), then closes
    // the connection. Paths without an answer get silence.
    void answer(const QByteArray& path, const QByteArray& raw);

    // A whole response with a status, a body and optional extra header lines
    // (each ending in CR LF).
    static QByteArray response(int status, const QByteArray& body,
                               const QByteArray& extraHeaders = {});

    // Connections accepted so far.
    int connections() const { return m_connections; }
    // Connections the other side has closed so far.
    int closedByPeer() const { return m_closedByPeer; }
    // The requests read so far, in order.
    const QList<ReceivedRequest>& requests() const { return m_requests; }

  private:
    // Accepts a connection and starts reading its request.
    void onNewConnection();
    // Reads a request once its header is complete and answers it.
    void onReadyRead(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QByteArray, QByteArray> m_answers;
    QHash<QTcpSocket*, QByteArray> m_pending;
    QList<ReceivedRequest> m_requests;
    int m_connections = 0;
    int m_closedByPeer = 0;
};

} // namespace updatetest
