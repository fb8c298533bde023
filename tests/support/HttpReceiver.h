#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTcpServer>

#include <deque>

namespace iap::test {

// A factory's system as a test scripts it: an HTTP/1.1 server on the loopback that takes POSTs
// and answers each as the next scripted answer says (then 200, or as told), keeping
// every request it read whole.
class HttpReceiver : public QObject {
    Q_OBJECT

public:
    struct Request {
        QByteArray path;
        // Header names in lower case.
        QMap<QByteArray, QByteArray> headers;
        QByteArray body;
    };
    struct Answer {
        // 0: the connection is dropped without an answer.
        int status = 200;
        int delayMs = 0;
        QByteArray body = {};
    };

    HttpReceiver();
    ~HttpReceiver() override;
    QString url() const;
    void script(std::initializer_list<Answer> answers) { scripted.insert(scripted.end(), answers); }
    // The answer once the script is done.
    void answerOtherwise(Answer answer) { fallback = answer; }
    // Every request read, also those it answered with an error or dropped.
    const QList<Request>& requests() const { return received; }
    // The Idempotency-Keys of the requests it answered 2xx, in order.
    const QList<QByteArray>& delivered() const { return taken; }

private:
    void read(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Request& request);

    QTcpServer server;
    std::deque<Answer> scripted;
    Answer fallback;
    QList<Request> received;
    QList<QByteArray> taken;
    QMap<QTcpSocket*, QByteArray> buffers;
};

}  // namespace iap::test
