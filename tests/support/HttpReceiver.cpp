#include "HttpReceiver.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace iap::test {

HttpReceiver::HttpReceiver()
{
    server.listen(QHostAddress::LocalHost);
    connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QObject::destroyed, this, [this, socket] { buffers.remove(socket); });
        }
    });
}

// The connections still open go with the server, after what they would report to is gone.
HttpReceiver::~HttpReceiver()
{
    for (QTcpSocket* socket : server.findChildren<QTcpSocket*>())
        socket->disconnect(this);
}

QString HttpReceiver::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/records").arg(server.serverPort());
}

// Requests one after another on a connection, each with a Content-Length.
void HttpReceiver::read(QTcpSocket* socket)
{
    QByteArray& buffer = buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        Request request;
        request.path = lines.first().split(' ').value(1);
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length").toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            return;
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        received << request;
        answer(socket, request);
    }
}

void HttpReceiver::answer(QTcpSocket* socket, const Request& request)
{
    const Answer next = scripted.empty() ? fallback : scripted.front();
    if (!scripted.empty())
        scripted.pop_front();
    QTimer::singleShot(next.delayMs, this, [this, socket = QPointer(socket), next, key = request.headers.value("idempotency-key")] {
        if (!socket)
            return;
        if (next.status == 0) {
            socket->abort();
            return;
        }
        if (next.status / 100 == 2)
            taken << key;
        socket->write("HTTP/1.1 " + QByteArray::number(next.status) + " Scripted\r\nContent-Type: text/plain\r\nContent-Length: " +
                      QByteArray::number(next.body.size()) + "\r\n\r\n" + next.body);
    });
}

}  // namespace iap::test
