#include "BootloaderLink.h"

#include "WindowRules.h"
#include "production/JobChecks.h"
#include "protocol/ReplyRecognition.h"

namespace iap {

BootloaderLink::BootloaderLink(Clock& clock, const WindowRules& rules, QObject* parent)
    : QObject(parent), session(clock, PortSession::onHeldPort(rules), this)
{
    connect(&session, &PortSession::status, this, &BootloaderLink::status);
    connect(&session, &PortSession::currentPageShown, this, &BootloaderLink::currentPageShown);
    connect(&session, &PortSession::currentPageCleared, this, &BootloaderLink::currentPageCleared);
    connect(&session, &PortSession::endPageShown, this, &BootloaderLink::endPageShown);
    connect(&session, &PortSession::runningSum, this, [this](std::uint32_t sum) { emit checksumShown(checksumDisplay(sum)); });
    connect(&session, &PortSession::versionReported, this, [this](const QString& version) { emit versionShown(PageTransfer::versionCaption(version)); });
    connect(&session, &PortSession::flashImageAddress, this, &BootloaderLink::flashImageAddress);
    connect(&session, &PortSession::applicationAddress, this, &BootloaderLink::applicationAddress);
    connect(&session, &PortSession::finished, this, [this](const RunEnd& end) {
        if (end.verdictOf)
            emit finished(*end.verdictOf, end.outcome == RunOutcome::Right);
    });
}

bool BootloaderLink::open(const QString& path, const DeviceProfile& device)
{
    portPath = path;
    model = device;
    return session.connection().open(path, device);
}

void BootloaderLink::close()
{
    session.connection().close();
}

bool BootloaderLink::isOpen()
{
    return session.connection().isOpen();
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
    planSingleTransfer(job, image, kind, WindowRules::Images);
    session.start(job, PortInfo(portPath, portPath));
}

void BootloaderLink::startFlashRead(const Address& address, int pages)
{
    Job job = jobOnPort(address);
    job.kind = Job::Kind::FlashRead;
    job.pages = pages;
    session.start(job, PortInfo(portPath, portPath));
}

bool BootloaderLink::saveRead(const QString& fileName)
{
    return session.saveRead(fileName);
}

void BootloaderLink::forgetVersion()
{
    session.bootloader().forgetVersion();
}

}  // namespace iap
