#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP/1.1 server on loopback for the transport tests: records every request and
// answers by path with a configured status and body, optionally late, in timed pieces or not
// at all. Each connection carries one request ("Connection: close").
class LocalHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray target;  // as sent: path and query, or an absolute URL through a proxy
        QMap<QByteArray, QByteArray> headers;  // names in lower case
        QByteArray body;
    };

    struct Reply
    {
        int status = 200;
        QByteArray body;
        int delayMs = 0;          // before the status line
        int pieces = 1;           // the body is sent in this many pieces...
        int pieceIntervalMs = 0;  // ...this far apart
        bool never = false;       // read the request, never answer
    };

    explicit LocalHttpServer(QObject* parent = nullptr);

    bool Listen();
    quint16 Port() const { return server.serverPort(); }
    QByteArray BaseUrl() const;

    // Answers requests whose path (without query) is path; unknown paths get 404.
    void SetReply(const QByteArray& path, const Reply& reply);

    QList<Request> Requests() const { return requests; }
    // Requests received whose answer has not been completed.
    int Pending() const { return pending; }
    int MaxPending() const { return maxPending; }
    void ResetCounters();

private slots:
    void OnNewConnection();
    void OnReadyRead();

private:
    void Answer(QTcpSocket* socket, const Reply& reply);
    void SendPiece(QTcpSocket* socket, const Reply& reply, int index);
    void Finish(QTcpSocket* socket);

    QTcpServer server;
    QMap<QByteArray, Reply> replies;
    QHash<QTcpSocket*, QByteArray> buffers;
    QSet<QTcpSocket*> handled;  // request read (one per connection)
    QSet<QTcpSocket*> open;     // request received, answer not finished
    QList<Request> requests;
    int pending = 0;
    int maxPending = 0;
};
