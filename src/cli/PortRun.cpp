#include "cli/PortRun.h"

#include "cli/Report.h"

namespace iap::cli {
namespace {

QString describe(Session::Awaiting what, int page)
{
    switch (what) {
    case Session::Awaiting::Quiet:
        return QStringLiteral("the device to stop sending");
    case Session::Awaiting::EraseReport:
        return QStringLiteral("the erase report");
    case Session::Awaiting::VersionReply:
        return QStringLiteral("the bootloader's version reply");
    case Session::Awaiting::Acknowledgement:
        return QStringLiteral("the acknowledgement of page %1").arg(page);
    case Session::Awaiting::PageData:
        return QStringLiteral("the page data");
    case Session::Awaiting::ChecksumReply:
        break;
    }
    return QStringLiteral("the checksum reply");
}

}  // namespace

PortRun::PortRun(const Options& chosen, const QString& portName, Clock& clock, Report& output)
    : options(chosen), port(portName), report(output), session(makeSystemPortDevice(), clock)
{
    switch (options.command) {
    case Command::Download:
        steps = {Step::Download};
        break;
    case Command::Write:
        steps = {Step::Write};
        break;
    case Command::Read:
        steps = {Step::Read};
        break;
    case Command::Program:
        for (const auto& [image, which] : {std::pair{&options.slot0, Step::WriteSlot0}, {&options.slot1, Step::WriteSlot1}, {&options.application, Step::Download}})
            if (image->isValid())
                steps.push_back(which);
        break;
    case Command::Ports:
        break;
    }
    silence.setSingleShot(true);
    // A coarse timer may end a 5 s wait a quarter of a second early.
    silence.setTimerType(Qt::PreciseTimer);
    silence.setInterval(options.timeoutSeconds * 1000);
    connect(&silence, &QTimer::timeout, this, [this] {
        finish(Outcome::NoDevice, QStringLiteral("No reply from the device for %1 s while waiting for %2").arg(options.timeoutSeconds).arg(awaited));
    });
    session.serial.setStatusSink([this](const QString& text) { lastStatus = text; });
    connect(&session, &Session::Status, this, [this](const QString& text) {
        lastStatus = text;
        report.Status(port, text);
    });
    // The watch counts from the last step of progress, not from the last byte: a device that
    // talks without moving the operation on is timed out too.
    connect(&session, &Session::Awaits, this, [this](Session::Awaiting what, int page) {
        awaited = describe(what, page);
        silence.start();
    });
    connect(&session, &Session::PageAcknowledged, this,
            [this](int index) { report.Progress(port, index - session.FirstDataPage + 1, session.LastPageIndex - session.FirstDataPage + 1); });
    connect(&session, &Session::ReadProgress, this, [this](int pages) { report.Progress(port, pages, options.pages); });
    connect(&session, &Session::ChecksumShown, this, [this](const QString& sum) { report.Sum(port, sum); });
    connect(&session, &Session::VersionCaption, this, [this](const QString& caption) { report.Version(port, caption); });
    connect(&session, &Session::Verified, this, &PortRun::onVerified);
}

void PortRun::Start()
{
    startStep();
}

void PortRun::startStep()
{
    if (!session.Open(port, options.settings)) {
        finish(Outcome::NoDevice, lastStatus);
        return;
    }
    const Step current = steps[step];
    if (current == Step::Read) {
        session.PrepareRead();
        session.RequestPages(*options.address, options.pages);
        return;
    }
    const ImageSnapshot& image = current == Step::WriteSlot0 ? options.slot0
        : current == Step::WriteSlot1                      ? options.slot1
        : current == Step::Download && options.command == Command::Program ? options.application
                                                                             : options.image;
    report.Image(port, image.path(), image.sha256Hex());
    if (current == Step::Download)
        session.StartDownload(image, *options.address);
    else  // A header page's own address wins; the options were checked against it.
        session.StartFlashWrite(image, [this](const auto& header) { return header ? *header : *options.address; }, [] { return true; });
}

void PortRun::onVerified(Session::Operation operation, bool right)
{
    if (!right) {
        finish(Outcome::ChecksumError, lastStatus);
        return;
    }
    if (operation == Session::Operation::FlashRead) {
        const QString file = options.outputFor(port);
        if (!session.SaveReadBack(file, session.PagesRead())) {
            finish(Outcome::InputError, QStringLiteral("The read-back file can't be written: ") + file);
            return;
        }
    }
    session.Close();
    if (++step < steps.size())
        startStep();
    else
        finish(Outcome::Right, lastStatus);
}

void PortRun::Stop()
{
    silence.stop();
    session.serial.ClosePort();
    done = true;
}

void PortRun::finish(Outcome outcome, const QString& text)
{
    if (done)
        return;
    done = true;
    silence.stop();
    session.Close();
    result = outcome;
    report.Result(port, text, int(outcome));
    emit Done();
}

}  // namespace iap::cli
