#include "BootloaderLink.h"

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
    client.download().start(image, address);
}

void BootloaderLink::startFlashWrite(const ImageSnapshot& image, const Address& address)
{
    client.flashWrite().start(image, address);
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

void BootloaderLink::compareWithShownPages(std::int64_t endPage, std::int64_t currentPage)
{
    client.download().compareWithShownPages(endPage, currentPage);
    client.flashWrite().compareWithShownPages(endPage, currentPage);
}

}  // namespace iap
