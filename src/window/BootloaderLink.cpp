#include "BootloaderLink.h"

#include "production/JobChecks.h"
#include "protocol/ReplyRecognition.h"

namespace iap {

BootloaderLink::BootloaderLink(Clock& clock, QObject* parent)
    : QObject(parent), client(clock, this), run(client, clock, recorder, DeviceRun::PortUse::HeldByCaller, {}, this)
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

bool BootloaderLink::open(const QString& path, const DeviceProfile& device)
{
    portPath = path;
    model = device;
    return client.connection().open(path, device);
}

void BootloaderLink::close()
{
    client.connection().close();
}

bool BootloaderLink::isOpen()
{
    return client.connection().isOpen();
}

Job BootloaderLink::jobOnPort(const Address& address) const
{
    Job job;
    job.model = model;
    job.address = address;
    job.replyTimeoutSeconds = 0;
    return job;
}

void BootloaderLink::startDownload(const ImageSnapshot& image, const Address& address)
{
    startTransfer(image, OperationKind::Download, address);
}

void BootloaderLink::startFlashWrite(const ImageSnapshot& image, const Address& address)
{
    startTransfer(image, OperationKind::FlashWrite, address);
}

void BootloaderLink::startTransfer(const ImageSnapshot& image, OperationKind kind, const Address& address)
{
    Job job = jobOnPort(address);
    // The window's rules refuse nothing a valid image holds.
    planSingleTransfer(job, image, kind, WindowRules);
    run.start(job, PortInfo(portPath, portPath));
}

void BootloaderLink::startFlashRead(const Address& address, int pages)
{
    Job job = jobOnPort(address);
    job.kind = Job::Kind::FlashRead;
    job.pages = pages;
    run.start(job, PortInfo(portPath, portPath));
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
