#pragma once

#include <QNetworkAccessManager>
#include <QPointer>
#include <QUrl>

#include "delivery/DeliveryChannel.h"

class QNetworkReply;

namespace iap {

// One record per POST to a factory system's endpoint: the record's JSON as the body, its UUID as
// the Idempotency-Key, so that a record sent twice (its answer lost) is taken once.
class HttpChannel final : public DeliveryChannel {
public:
    // A receiver that has not answered within this long is taken for one that is down.
    static constexpr int RequestTimeoutMs = 15000;
    // What a refused record keeps of the receiver's answer.
    static constexpr qsizetype KeptAnswerBytes = 1024;

    HttpChannel(QUrl url, QString token);
    ~HttpChannel() override;

    void send(const QByteArray& json, const QString& key, Done done) override;
    void abandon() override;

private:
    QNetworkAccessManager network;
    QUrl url;
    QString token;
    QPointer<QNetworkReply> reply;
};

// How a receiver's answer ends a try: 2xx delivered; 4xx but 408 and 429 refused, keeping the
// status and the body's first KiB; anything else failed. `status` 0: no answer came, and
// `failure` says why.
DeliveryResult httpResult(int status, const QByteArray& reason, const QByteArray& body, const QString& failure);

}  // namespace iap
