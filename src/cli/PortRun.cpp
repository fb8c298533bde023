#include "cli/PortRun.h"

#include "cli/Report.h"

namespace iap::cli {
namespace {

const QString ImageUnreadable = QStringLiteral("The image file can't be read: ");

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
        for (const auto& [file, which] : {std::pair{options.slot0, Step::WriteSlot0}, {options.slot1, Step::WriteSlot1}, {options.application, Step::Download}})
            if (!file.isEmpty())
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
    connect(&session, &Session::Received, &silence, qOverload<>(&QTimer::start));
    connect(&session, &Session::Status, this, [this](const QString& text) {
        lastStatus = text;
        report.Status(port, text);
        if (text.startsWith(ImageUnreadable))
            finish(Outcome::InputError, text);
        else if (text.endsWith(QLatin1String("Successfully")))
            expect(QStringLiteral("the checksum reply"));
    });
    connect(&session, &Session::PageSent, this, [this](int index) { expect(QStringLiteral("the acknowledgement of page %1").arg(index)); });
    connect(&session, &Session::PageAcknowledged, this,
            [this](int index) { report.Progress(port, index - session.FirstDataPage + 1, pagesOfStep()); });
    connect(&session, &Session::ReadProgress, this, [this](int pages) {
        report.Progress(port, pages, options.pages);
        if (pages == options.pages)
            expect(QStringLiteral("the checksum reply"));
    });
    connect(&session, &Session::ChecksumShown, this, [this](const QString& sum) { report.Sum(port, sum); });
    connect(&session, &Session::VersionCaption, this, [this](const QString& caption) { report.Version(port, caption); });
    connect(&session, &Session::Verified, this, &PortRun::onVerified);
}

void PortRun::Start()
{
    startStep();
}

int PortRun::pagesOfStep() const
{
    return session.LastPageIndex - session.FirstDataPage + 1;
}

void PortRun::expect(const QString& what)
{
    awaited = what;
    silence.start();
}

void PortRun::startStep()
{
    if (!session.Open(port, options.settings)) {
        finish(Outcome::NoDevice, lastStatus);
        return;
    }
    session.ReadInProgress = false;
    const Step current = steps[step];
    const QString image = current == Step::WriteSlot0 ? options.slot0
        : current == Step::WriteSlot1             ? options.slot1
        : current == Step::Download && options.command == Command::Program ? options.application
                                                                             : options.image;
    bool started = true;
    switch (current) {
    case Step::Download:
        started = session.StartDownload(image, *options.address);
        expect(QStringLiteral("the erase report"));
        break;
    case Step::Write:
    case Step::WriteSlot0:
    case Step::WriteSlot1: {
        // A header page's own address wins; the options were checked against it.
        started = session.AnnounceFlashWrite(image, [this](const auto& header) { return header ? *header : *options.address; });
        if (started)
            session.ArmFirstPageAfterWait([] { return true; });
        expect(QStringLiteral("the bootloader's version reply"));
        break;
    }
    case Step::Read:
        session.PrepareRead();
        session.RequestPages(*options.address, options.pages);
        expect(QStringLiteral("the page data"));
        break;
    }
    if (!started)
        finish(Outcome::InputError, ImageUnreadable + image);
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
