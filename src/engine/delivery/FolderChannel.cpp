#include "delivery/FolderChannel.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QMetaObject>

namespace iap {

FolderChannel::FolderChannel(QString target) : folder(std::move(target)) {}

void FolderChannel::send(const QByteArray& json, const QString& key, Done done)
{
    const DeliveryResult result = write(json, key);
    QMetaObject::invokeMethod(answers.get(), [result, done = std::move(done)] { done(result); }, Qt::QueuedConnection);
}

void FolderChannel::abandon()
{
    answers = std::make_unique<QObject>();
}

// A folder that is not there may be a share that is down: the record waits for it.
DeliveryResult FolderChannel::write(const QByteArray& json, const QString& key) const
{
    // A UUID is all a file name takes from the record; anything else would reach out of the folder.
    if (key.isEmpty() || key.contains(u'/') || key.contains(u'\\') || key.startsWith(u'.'))
        return {DeliveryOutcome::Refused, QStringLiteral("the record has no UUID to name its file by")};
    if (!QFileInfo(folder).isDir())
        return {DeliveryOutcome::Failed, QStringLiteral("the folder %1 is not there").arg(folder)};
    QSaveFile file(QDir(folder).filePath(key + QStringLiteral(".json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(json + '\n') < 0 || !file.commit())
        return {DeliveryOutcome::Failed, QStringLiteral("%1 could not be written: %2").arg(file.fileName(), file.errorString())};
    return {DeliveryOutcome::Delivered, {}};
}

}  // namespace iap
