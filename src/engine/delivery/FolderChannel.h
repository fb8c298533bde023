#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "delivery/DeliveryChannel.h"

namespace iap {

// One file per record, <uuid>.json, in a folder a factory's system watches. Each file is written
// under another name beside it and renamed once whole, so that a reader never sees part of one;
// a record written again replaces its file with the same bytes.
class FolderChannel final : public DeliveryChannel {
public:
    explicit FolderChannel(QString folder);

    void send(const QByteArray& json, const QString& key, Done done) override;
    void abandon() override;

private:
    DeliveryResult write(const QByteArray& json, const QString& key) const;

    QString folder;
    // Gives the answer on the event loop, as a network's would come, and takes it back on
    // abandon.
    std::unique_ptr<QObject> answers = std::make_unique<QObject>();
};

}  // namespace iap
