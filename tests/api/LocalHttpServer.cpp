#include "LocalHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

LocalHttpServer::LocalHttpServer(QObject* parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &LocalHttpServer::OnNewConnection);
}

bool LocalHttpServer::Listen()
{
    // Ten parallel downloads must not overflow the accept queue.
    server.setMaxPendingConnections(64);
    return server.listen(QHostAddress::LocalHost, 0);
}

QByteArray LocalHttpServer::BaseUrl() const
{
    return "http://127.0.0.1:" + QByteArray::number(Port());
}

void LocalHttpServer::SetReply(const QByteArray& path, const Reply& reply)
{
    replies.insert(path, reply);
}

void LocalHttpServer::ResetCounters()
{
    requests.clear();
    maxPending = pending;
}

void LocalHttpServer::OnNewConnection()
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &LocalHttpServer::OnReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket]() {
            Finish(socket);
            buffers.remove(socket);
            handled.remove(socket);
            socket->deleteLater();
        });
    }
}

void LocalHttpServer::OnReadyRead()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    QByteArray& buffer = buffers[socket];
    buffer += socket->readAll();
    if (handled.contains(socket)) {
        return;  // one request per connection
    }
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        return;
    }
    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0) {
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                   lines.at(i).mid(colon + 1).trimmed());
        }
    }
    const int length = request.headers.value("content-length").toInt();
    if (request.headers.value("expect").toLower() == "100-continue" &&
        buffer.size() == headerEnd + 4) {
        socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    }
    if (buffer.size() < headerEnd + 4 + length) {
        return;
    }
    request.body = buffer.mid(headerEnd + 4, length);
    requests.append(request);
    handled.insert(socket);
    open.insert(socket);
    maxPending = qMax(maxPending, ++pending);

    QByteArray path = request.target;
    if (path.startsWith("http://")) {
        path = path.mid(path.indexOf('/', 7));
    }
    path = path.left(path.indexOf('?') < 0 ? path.size() : path.indexOf('?'));
    Reply reply;
    if (replies.contains(path)) {
        reply = replies.value(path);
    } else {
        reply.status = 404;
        reply.body = "not found";
    }
    if (reply.never) {
        return;
    }
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(reply.delayMs, this, [this, guard, reply]() {
        if (guard) {
            Answer(guard, reply);
        }
    });
}

void LocalHttpServer::Answer(QTcpSocket* socket, const Reply& reply)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\n";
    head += "Content-Type: application/octet-stream\r\n";
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    SendPiece(socket, reply, 0);
}

void LocalHttpServer::SendPiece(QTcpSocket* socket, const Reply& reply, int index)
{
    const int pieces = qMax(1, reply.pieces);
    const int size = (reply.body.size() + pieces - 1) / pieces;
    socket->write(reply.body.mid(index * size, size));
    if (index + 1 >= pieces) {
        socket->flush();
        Finish(socket);
        socket->disconnectFromHost();
        return;
    }
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(reply.pieceIntervalMs, this, [this, guard, reply, index]() {
        if (guard && guard->state() == QAbstractSocket::ConnectedState) {
            SendPiece(guard, reply, index + 1);
        }
    });
}

void LocalHttpServer::Finish(QTcpSocket* socket)
{
    if (open.remove(socket)) {
        --pending;
    }
}
