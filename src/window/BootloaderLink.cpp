#include "BootloaderLink.h"

#include "production/JobChecks.h"
#include "protocol/ReplyRecognition.h"

namespace iap {

BootloaderLink::BootloaderLink(Clock& clock, QObject* parent) : QObject(parent), client(clock, this)
{
    connect(&client.connection(), &Connection::status, this, &BootloaderLink::status);
    relay(client.download(), OperationKind::Download);
    relay(client.flashWrite(), OperationKind::FlashWrite);
    relay(client.flashRead(), OperationKind::FlashRead);
    connect(&client.flashWrite(), &FlashWrite::imageAddress, this, &BootloaderLink::flashImageAddress);
    connect(&client.download(), &Download::imageAddress, this, &BootloaderLink::applicationAddress);
}

void BootloaderLink::relay(DeviceOperation& operation, OperationKind kind)
{
    connect(&operation, &DeviceOperation::status, this, &BootloaderLink::status);
    connect(&operation, &DeviceOperation::currentPageShown, this, &BootloaderLink::currentPageShown);
    connect(&operation, &DeviceOperation::currentPageCleared, this, &BootloaderLink::currentPageCleared);
    connect(&operation, &DeviceOperation::runningSum, this, [this](std::uint32_t sum) { emit checksumShown(checksumDisplay(sum)); });
    connect(&operation, &DeviceOperation::finished, this, [this, kind](const OperationResult& result) { emit finished(kind, result.isRight()); });
}

void BootloaderLink::relay(PageTransfer& transfer, OperationKind kind)
{
    relay(static_cast<DeviceOperation&>(transfer), kind);
    transfer.setCounting(PageTransfer::Counting::EveryWord);
    connect(&transfer, &PageTransfer::endPageShown, this, &BootloaderLink::endPageShown);
    connect(&transfer, &PageTransfer::allPagesSent, this, [this](bool versionSeen) {
        emit status(versionSeen ? QStringLiteral("Write Flash Successfully") : QStringLiteral("IAP\u3000Successfully"));
    });
    connect(&transfer, &PageTransfer::versionReported, this,
            [this](const QString& version) { emit versionShown(PageTransfer::versionCaption(version)); });
}

bool BootloaderLink::open(const QString& portPath, DeviceModel model)
{
    return client.connection().open(portPath, model);
}

void BootloaderLink::close()
{
    client.connection().close();
}

bool BootloaderLink::isOpen()
{
    return client.connection().isOpen();
}

void BootloaderLink::startDownload(const ImageSnapshot& image, const Address& address)
{
    client.download().start(*planTransfer(image, OperationKind::Download, address, WindowRules).plan);
}

void BootloaderLink::startFlashWrite(const ImageSnapshot& image, const Address& address)
{
    client.flashWrite().start(*planTransfer(image, OperationKind::FlashWrite, address, WindowRules).plan);
}

void BootloaderLink::startFlashRead(const Address& address, int pages)
{
    client.flashRead().start(address, pages);
}

bool BootloaderLink::saveRead(const QString& fileName)
{
    return client.flashRead().save(fileName);
}

void BootloaderLink::forgetVersion()
{
    client.forgetVersion();
}

void BootloaderLink::judgeEndPageReachedBy(const std::function<bool()>& reached)
{
    client.download().judgeEndPageReachedBy(reached);
    client.flashWrite().judgeEndPageReachedBy(reached);
}

}  // namespace iap
