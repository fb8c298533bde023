#include "PortRun.h"

#include "Report.h"

namespace iap::cli {
namespace {

Outcome outcomeOf(OperationResult::Kind kind)
{
    switch (kind) {
    case OperationResult::Kind::Right:
        return Outcome::Right;
    case OperationResult::Kind::ChecksumError:
        return Outcome::ChecksumError;
    case OperationResult::Kind::ImageUnreadable:
        return Outcome::InputError;
    case OperationResult::Kind::PortUnavailable:
    case OperationResult::Kind::NoReply:
        break;
    }
    return Outcome::NoDevice;
}

}  // namespace

PortRun::PortRun(const Options& chosen, const QString& portName, const QString& portPath, Clock& clock, Report& output)
    : options(chosen), port(portName), path(portPath), report(output), bootloader(clock), round(*this, clock)
{
    bootloader.setReplyTimeout(options.timeoutSeconds);
    connect(&bootloader.connection(), &Connection::status, this, [this](const QString& text) { report.status(port, text); });
    for (DeviceOperation* operation : std::initializer_list<DeviceOperation*>{&bootloader.download(), &bootloader.flashWrite(), &bootloader.flashRead()}) {
        connect(operation, &DeviceOperation::status, this, [this](const QString& text) { report.status(port, text); });
        connect(operation, &DeviceOperation::progress, this, [this](int done, int total) { report.progress(port, done, total); });
        connect(operation, &DeviceOperation::runningSum, this, [this](std::uint32_t sum) { report.sum(port, checksumDisplay(sum)); });
        connect(operation, &DeviceOperation::finished, this, [this, operation](const OperationResult& outcome) { ended(operation->kind(), outcome); });
    }
    for (PageTransfer* transfer : std::initializer_list<PageTransfer*>{&bootloader.download(), &bootloader.flashWrite()})
        connect(transfer, &PageTransfer::versionReported, this, [this](const QString& version) { report.version(port, PageTransfer::versionCaption(version)); });
    connect(&round, &ProductionRound::finished, this, [this](bool right) {
        if (right)
            finish(Outcome::Right, lastResult);
    });
}

void PortRun::start()
{
    switch (options.command) {
    case Command::Download:
        transfer(options.image, OperationKind::Download);
        break;
    case Command::Write:
        transfer(options.image, OperationKind::FlashWrite);
        break;
    case Command::Read:
        if (open())
            bootloader.flashRead().start(*options.address, options.pages);
        break;
    case Command::Program:
        round.runOnce();
        break;
    case Command::Ports:
    case Command::Doctor:
        break;
    }
}

bool PortRun::ready(ProductionRound::Step step) const
{
    switch (step) {
    case ProductionRound::Step::FlashSlot0:
        return options.slot0.isValid();
    case ProductionRound::Step::FlashSlot1:
        return options.slot1.isValid();
    case ProductionRound::Step::Application:
        return options.application.isValid();
    case ProductionRound::Step::Past:
        break;
    }
    return false;
}

void PortRun::run(ProductionRound::Step step)
{
    if (step == ProductionRound::Step::Application)
        transfer(options.application, OperationKind::Download);
    else
        transfer(step == ProductionRound::Step::FlashSlot0 ? options.slot0 : options.slot1, OperationKind::FlashWrite);
}

bool PortRun::open()
{
    if (bootloader.connection().open(path, options.model))
        return true;
    finish(Outcome::NoDevice, QString::fromLatin1(Connection::PortUnavailableText));
    return false;
}

void PortRun::transfer(const ImageSnapshot& image, OperationKind kind)
{
    if (!open())
        return;
    report.image(port, image.path(), image.sha256Hex());
    // A header page's own address wins; the options were checked against it.
    if (kind == OperationKind::Download)
        bootloader.download().start(image, *options.address);
    else
        bootloader.flashWrite().start(image, options.address.value_or(Address{}));
}

void PortRun::ended(OperationKind kind, const OperationResult& outcome)
{
    if (!outcome.isRight()) {
        finish(outcomeOf(outcome.kind()), outcome.text());
        return;
    }
    if (kind == OperationKind::FlashRead) {
        const QString file = options.outputFor(port);
        if (!bootloader.flashRead().save(file)) {
            finish(Outcome::InputError, FlashRead::unwritableText(file));
            return;
        }
    }
    bootloader.connection().close();
    lastResult = outcome.text();
    if (options.command == Command::Program)
        round.ended(kind, true);
    else
        finish(Outcome::Right, lastResult);
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
    report.result(port, text, int(outcome));
    emit done();
}

}  // namespace iap::cli
