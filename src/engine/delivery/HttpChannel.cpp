#include "delivery/HttpChannel.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace iap {
namespace {

constexpr int RequestTimeout = 408;
constexpr int TooManyRequests = 429;

QString answerText(int status, const QByteArray& reason, const QByteArray& body)
{
    QString text = QString::number(status);
    if (!reason.isEmpty())
        text += u' ' + QString::fromLatin1(reason);
    const QString kept = QString::fromUtf8(body.left(HttpChannel::KeptAnswerBytes)).simplified();
    return kept.isEmpty() ? text : text + QStringLiteral(": ") + kept;
}

}  // namespace

DeliveryResult httpResult(int status, const QByteArray& reason, const QByteArray& body, const QString& failure)
{
    if (status == 0)
        return {DeliveryOutcome::Failed, failure};
    if (status >= 200 && status < 300)
        return {DeliveryOutcome::Delivered, {}};
    const bool refused = status >= 400 && status < 500 && status != RequestTimeout && status != TooManyRequests;
    return {refused ? DeliveryOutcome::Refused : DeliveryOutcome::Failed, answerText(status, reason, body)};
}

HttpChannel::HttpChannel(QUrl target, QString bearer) : url(std::move(target)), token(std::move(bearer))
{
    // A record is never sent on to where a redirect points: the target is what was set.
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

HttpChannel::~HttpChannel()
{
    abandon();
}

void HttpChannel::send(const QByteArray& json, const QString& key, Done done)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader(QByteArrayLiteral("Idempotency-Key"), key.toUtf8());
    if (!token.isEmpty())
        request.setRawHeader(QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + token.toUtf8());
    request.setTransferTimeout(RequestTimeoutMs);
    reply = network.post(request, json);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, answer = reply.data(), done = std::move(done)] {
        answer->deleteLater();
        reply.clear();
        const int status = answer->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // A transfer time-out ends the reply as cancelled, which says nothing of the time.
        const QString failure = answer->error() == QNetworkReply::OperationCanceledError
                                    ? QStringLiteral("no answer within %1 s").arg(RequestTimeoutMs / 1000)
                                    : answer->errorString();
        done(httpResult(status, answer->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray(), status ? answer->readAll() : QByteArray(), failure));
    });
}

void HttpChannel::abandon()
{
    if (!reply)
        return;
    QNetworkReply* answer = reply;
    reply.clear();
    answer->disconnect();
    answer->abort();
    answer->deleteLater();
}

}  // namespace iap
