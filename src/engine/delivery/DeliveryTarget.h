#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace iap {

class DeliveryChannel;

// Where records go besides the journal, each kind chosen by its scheme: a factory system's HTTP
// endpoint (http:// or https://), which takes one record per POST, or a folder it watches
// (dir:/path), which gets one file per record.
struct DeliveryTarget {
    using ChannelMaker = std::unique_ptr<DeliveryChannel> (*)(const QString& text, const QString& token);

    // As given: how the outbox names the target.
    QString text;
    // The scheme's way to the target.
    ChannelMaker makeChannel = nullptr;

    // The variable a bearer token may come from, so that it never stands on a command line.
    static constexpr const char* TokenVariable = "IAP_DELIVER_TOKEN";

    // The target a text names, or none and why not.
    static std::optional<DeliveryTarget> of(const QString& text, QString& why);
};

// The bearer token for HTTP targets: the first line of `tokenFile` when one is given, else the
// environment's IAP_DELIVER_TOKEN, else none (empty). Empty with `why` set when the file cannot
// be read or the token holds what a header cannot.
QString deliveryToken(const QString& tokenFile, QString& why);

}  // namespace iap
