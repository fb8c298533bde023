#include "production/DeviceRun.h"

#include <QCryptographicHash>
#include <QSysInfo>

#include "flash_write/FlashImage.h"
#include "protocol/HexNumber.h"

namespace iap {
namespace {

RunOutcome outcomeOf(OperationResult::Kind kind)
{
    switch (kind) {
    case OperationResult::Kind::Right:
        return RunOutcome::Right;
    case OperationResult::Kind::ChecksumError:
        return RunOutcome::ChecksumError;
    case OperationResult::Kind::ImageUnreadable:
        return RunOutcome::InputError;
    case OperationResult::Kind::PortUnavailable:
    case OperationResult::Kind::NoReply:
        break;
    }
    return RunOutcome::NoDevice;
}

QString commandOf(Job::Kind kind)
{
    switch (kind) {
    case Job::Kind::Download:
        return QStringLiteral("download");
    case Job::Kind::FlashWrite:
        return QStringLiteral("write");
    case Job::Kind::FlashRead:
        return QStringLiteral("read");
    case Job::Kind::Round:
        break;
    }
    return QStringLiteral("program");
}

QString stepKindOf(OperationKind kind)
{
    switch (kind) {
    case OperationKind::Download:
        return QStringLiteral("download");
    case OperationKind::FlashWrite:
        return QStringLiteral("flash write");
    case OperationKind::FlashRead:
        break;
    }
    return QStringLiteral("read");
}

PageTransfer& transferOf(BootloaderClient& bootloader, OperationKind kind)
{
    if (kind == OperationKind::Download)
        return bootloader.download();
    return bootloader.flashWrite();
}

// How the image file held its bytes; a raw file is named by what it is used for.
QString formatOf(const ImageSnapshot& image, OperationKind kind)
{
    switch (image.format()) {
    case ImageFormat::IntelHex:
        return QStringLiteral("ihex");
    case ImageFormat::SRecord:
        return QStringLiteral("srec");
    case ImageFormat::Elf:
        return QStringLiteral("elf");
    case ImageFormat::Raw:
        break;
    }
    return kind == OperationKind::FlashWrite ? QStringLiteral("flash") : QStringLiteral("bin");
}

// The first to the last byte a transfer of the image sends, whole pages from where it goes.
QString addressRangeOf(const ImageSnapshot& image, OperationKind kind, const Address& given)
{
    const bool write = kind == OperationKind::FlashWrite;
    const std::optional<Address> own = write ? flashImageAddress(image) : image.address();
    const std::int64_t pages = image.lastPageIndex() + 1 - (write && flashImageHeader(image) ? 1 : 0);
    if (pages < 1)
        return {};
    const std::int64_t first = addressValue(own.value_or(given));
    return addressText(std::uint64_t(first)) + u'-' + addressText(std::uint64_t(first + pages * PageBytes - 1));
}

}  // namespace

DeviceRun::DeviceRun(Clock& clock, QObject* parent) : DeviceRun(std::make_unique<BootloaderClient>(clock), nullptr, clock, parent) {}

DeviceRun::DeviceRun(Clock& clock, std::unique_ptr<Line> line, QObject* parent)
    : DeviceRun(std::make_unique<BootloaderClient>(clock, std::move(line)), nullptr, clock, parent)
{
}

DeviceRun::DeviceRun(BootloaderClient& shared, Clock& clock, QObject* parent) : DeviceRun(nullptr, &shared, clock, parent) {}

DeviceRun::DeviceRun(std::unique_ptr<BootloaderClient> own, BootloaderClient* shared, Clock& clock, QObject* parent)
    : QObject(parent), ownBootloader(std::move(own)), bootloader(shared ? *shared : *ownBootloader), round(*this, clock)
{
    // What the bootloader does for others between runs is none of this run's.
    const auto whileRunning = [this](auto told) {
        return [this, told](const auto&... values) {
            if (running)
                told(values...);
        };
    };
    connect(&bootloader.connection(), &Connection::status, this, whileRunning([this](const QString& text) { emit status(text); }));
    connect(&bootloader.connection(), &Connection::opened, this, whileRunning([this](bool ok) { opened(ok); }));
    for (DeviceOperation* operation : std::initializer_list<DeviceOperation*>{&bootloader.download(), &bootloader.flashWrite(), &bootloader.flashRead()}) {
        connect(operation, &DeviceOperation::status, this, whileRunning([this](const QString& text) { emit status(text); }));
        connect(operation, &DeviceOperation::progress, this, whileRunning([this](int done, int total) {
            if (!record.steps.empty())
                record.steps.back().pages = done;
            emit progress(done, total);
        }));
        connect(operation, &DeviceOperation::runningSum, this, whileRunning([this](std::uint32_t sum) { emit runningSum(sum); }));
        connect(operation, &DeviceOperation::finished, this,
                whileRunning([this, operation](const OperationResult& result) { ended(operation->kind(), result); }));
    }
    for (PageTransfer* transfer : std::initializer_list<PageTransfer*>{&bootloader.download(), &bootloader.flashWrite()})
        connect(transfer, &PageTransfer::versionReported, this, whileRunning([this](const QString& version) {
            record.bootloaderVersion = version;
            emit versionReported(version);
        }));
    connect(&round, &ProductionRound::finished, this, [this](bool right) {
        if (right)
            finish(RunOutcome::Right, lastResult);
    });
}

void DeviceRun::start(const Job& runJob, const PortInfo& runPort)
{
    job = runJob;
    port = runPort;
    running = true;
    lastResult.clear();
    verification.reset();
    record = {};
    record.started = QDateTime::currentDateTimeUtc();
    record.host = QSysInfo::machineHostName();
    record.command = commandOf(job.kind);
    record.port = port.name();
    record.path = port.path();
    record.byPath = port.byPath();
    record.usbId = port.usbId();
    record.serial = port.serialNumber();
    record.model = modelName(job.model);
    if (job.address)
        record.address = addressText(*job.address);
    bootloader.setReplyTimeout(job.replyTimeoutSeconds);
    switch (job.kind) {
    case Job::Kind::Download:
        transfer(job.image, OperationKind::Download);
        break;
    case Job::Kind::FlashWrite:
        transfer(job.image, OperationKind::FlashWrite);
        break;
    case Job::Kind::FlashRead:
        openThen([this] {
            JournalStep step;
            step.kind = stepKindOf(OperationKind::FlashRead);
            step.file = job.readBackFile;
            beginStep(step);
            bootloader.flashRead().start(job.address.value_or(Address{}), job.pages);
        });
        break;
    case Job::Kind::Round:
        round.runOnce();
        break;
    }
}

bool DeviceRun::ready(ProductionRound::Step step) const
{
    switch (step) {
    case ProductionRound::Step::FlashSlot0:
        return job.slot0.isValid();
    case ProductionRound::Step::FlashSlot1:
        return job.slot1.isValid();
    case ProductionRound::Step::Application:
        return job.application.isValid();
    case ProductionRound::Step::Past:
        break;
    }
    return false;
}

void DeviceRun::run(ProductionRound::Step step)
{
    emit roundStep(step);
    if (step == ProductionRound::Step::Application)
        transfer(job.application, OperationKind::Download);
    else
        transfer(step == ProductionRound::Step::FlashSlot0 ? job.slot0 : job.slot1, OperationKind::FlashWrite);
}

void DeviceRun::openThen(std::function<void()> next)
{
    afterOpen = std::move(next);
    bootloader.connection().openInBackground(port.path(), job.model);
}

void DeviceRun::opened(bool ok)
{
    if (!afterOpen)
        return;
    const auto next = std::exchange(afterOpen, nullptr);
    if (ok)
        next();
    else
        finish(RunOutcome::NoDevice, QString::fromLatin1(Connection::PortUnavailableText));
}

void DeviceRun::beginStep(const JournalStep& step)
{
    record.steps.push_back(step);
    emit stepStarted(step);
}

void DeviceRun::transfer(const ImageSnapshot& image, OperationKind kind)
{
    openThen([this, image, kind] { sendImage(image, kind); });
}

void DeviceRun::sendImage(const ImageSnapshot& image, OperationKind kind)
{
    const Address given = job.address.value_or(Address{});
    JournalStep step;
    step.kind = stepKindOf(kind);
    step.file = image.path();
    step.sizeBytes = image.size();
    step.sha256 = image.sha256Hex();
    step.format = formatOf(image, kind);
    step.addressRange = addressRangeOf(image, kind, given);
    beginStep(step);
    // A header page's or the file's own address wins; the job was checked against it.
    if (kind == OperationKind::Download)
        bootloader.download().start(image, given);
    else
        bootloader.flashWrite().start(image, given);
}

void DeviceRun::ended(OperationKind kind, const OperationResult& result)
{
    if (record.steps.empty())
        return;
    if (verification) {
        verified(result);
        return;
    }
    JournalStep& step = record.steps.back();
    step.deviceSum = result.deviceSum();
    step.verdict = result.text();
    if (!result.isRight()) {
        finish(outcomeOf(result.kind()), result.text());
        return;
    }
    if (kind == OperationKind::FlashRead) {
        const QByteArray& data = bootloader.flashRead().data();
        step.sizeBytes = data.size();
        step.sha256 = QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
        if (!bootloader.flashRead().save(job.readBackFile)) {
            finish(RunOutcome::InputError, FlashRead::unwritableText(job.readBackFile));
            return;
        }
    }
    bootloader.connection().close();
    if (job.verify && kind != OperationKind::FlashRead)
        startVerify(kind);
    else
        stepRight(kind, result.text());
}

void DeviceRun::startVerify(OperationKind transferred)
{
    const PageTransfer& transfer = transferOf(bootloader, transferred);
    verifiedKind = transferred;
    verification.emplace(transfer.targetAddress(), transfer.sentPages());
    const JournalStep& transferStep = record.steps.back();
    JournalStep step;
    step.kind = QStringLiteral("verify");
    step.file = transferStep.file;
    step.format = transferStep.format;
    step.addressRange = transferStep.addressRange;
    beginStep(step);
    readBack();
}

void DeviceRun::readBack()
{
    openThen([this] {
        const auto read = verification->next();
        bootloader.flashRead().start(read->address, read->pages);
    });
}

void DeviceRun::verified(const OperationResult& read)
{
    JournalStep& step = record.steps.back();
    step.deviceSum = read.deviceSum();
    if (!read.isRight()) {
        step.verdict = read.text();
        finish(outcomeOf(read.kind()), read.text());
        return;
    }
    bootloader.connection().close();
    const bool same = verification->take(bootloader.flashRead().data());
    step.pages = int(verification->bytesCompared() / PageBytes);
    step.sizeBytes = verification->bytesCompared();
    if (same && verification->next()) {
        readBack();
        return;
    }
    step.verdict = verification->text();
    emit status(step.verdict);
    if (!same) {
        finish(RunOutcome::VerifyError, step.verdict);
        return;
    }
    verification.reset();
    stepRight(verifiedKind, step.verdict);
}

void DeviceRun::stepRight(OperationKind kind, const QString& text)
{
    lastResult = text;
    if (job.kind == Job::Kind::Round)
        round.ended(kind, true);
    else
        finish(RunOutcome::Right, lastResult);
}

void DeviceRun::stop(RunOutcome why, const QString& text)
{
    if (!running)
        return;
    bootloader.connection().abandon();
    round.stop();
    finish(why, text);
}

void DeviceRun::finish(RunOutcome outcome, const QString& text)
{
    if (!running)
        return;
    running = false;
    afterOpen = nullptr;
    verification.reset();
    bootloader.connection().close();
    record.ended = QDateTime::currentDateTimeUtc();
    record.durationMs = record.started.msecsTo(record.ended);
    record.pass = outcome == RunOutcome::Right;
    record.result = text;
    record.category = categoryOf(outcome);
    emit finished(outcome, text, record);
}

}  // namespace iap
