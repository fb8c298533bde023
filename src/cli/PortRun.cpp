#include "cli/PortRun.h"

#include "cli/Report.h"

namespace iap::cli {

PortRun::PortRun(const Options& chosen, const QString& portName, Clock& clock, Report& output)
    : options(chosen), port(portName), report(output), bootloader(makeSystemPortDevice(), clock)
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
    bootloader.setReplyTimeout(options.timeoutSeconds);
    connect(&bootloader.connection(), &Connection::status, this, [this](const QString& text) { report.Status(port, text); });
    for (DeviceOperation* operation : std::initializer_list<DeviceOperation*>{&bootloader.download(), &bootloader.flashWrite(), &bootloader.flashRead()}) {
        connect(operation, &DeviceOperation::status, this, [this](const QString& text) { report.Status(port, text); });
        connect(operation, &DeviceOperation::progress, this, [this](int done, int total) { report.Progress(port, done, total); });
        connect(operation, &DeviceOperation::runningSum, this, [this](std::uint32_t sum) { report.Sum(port, checksumDisplay(sum)); });
        connect(operation, &DeviceOperation::finished, this, &PortRun::ended);
    }
    for (PageTransfer* transfer : std::initializer_list<PageTransfer*>{&bootloader.download(), &bootloader.flashWrite()})
        connect(transfer, &PageTransfer::versionReported, this, [this](const QString& version) { report.Version(port, PageTransfer::versionCaption(version)); });
}

void PortRun::start()
{
    startStep();
}

void PortRun::startStep()
{
    if (!bootloader.connection().open(port, options.model)) {
        finish(Outcome::NoDevice, QString::fromLatin1(Connection::PortUnavailableText));
        return;
    }
    const Step current = steps[step];
    if (current == Step::Read) {
        bootloader.flashRead().start(*options.address, options.pages);
        return;
    }
    const ImageSnapshot& image = current == Step::WriteSlot0 ? options.slot0
        : current == Step::WriteSlot1                      ? options.slot1
        : current == Step::Download && options.command == Command::Program ? options.application
                                                                             : options.image;
    report.Image(port, image.path(), image.sha256Hex());
    // A header page's own address wins; the options were checked against it.
    if (current == Step::Download)
        bootloader.download().start(image, *options.address);
    else
        bootloader.flashWrite().start(image, options.address.value_or(Address{}));
}

void PortRun::ended(const OperationResult& outcome)
{
    switch (outcome.kind()) {
    case OperationResult::Kind::Right:
        break;
    case OperationResult::Kind::ChecksumError:
        finish(Outcome::ChecksumError, outcome.text());
        return;
    case OperationResult::Kind::ImageUnreadable:
        finish(Outcome::InputError, outcome.text());
        return;
    case OperationResult::Kind::PortUnavailable:
    case OperationResult::Kind::NoReply:
        finish(Outcome::NoDevice, outcome.text());
        return;
    }
    if (steps[step] == Step::Read) {
        const QString file = options.outputFor(port);
        if (!bootloader.flashRead().save(file)) {
            finish(Outcome::InputError, FlashRead::unwritableText(file));
            return;
        }
    }
    bootloader.connection().close();
    if (++step < steps.size())
        startStep();
    else
        finish(Outcome::Right, outcome.text());
}

void PortRun::stop()
{
    bootloader.connection().abandon();
    finished = true;
}

void PortRun::finish(Outcome outcome, const QString& text)
{
    if (finished)
        return;
    finished = true;
    bootloader.connection().close();
    result = outcome;
    report.Result(port, text, int(outcome));
    emit done();
}

}  // namespace iap::cli
