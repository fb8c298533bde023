#include "production/DeviceRun.h"

#include "production/RunRecorder.h"
#include "production/UniqueStep.h"

namespace iap {

DeviceRun::DeviceRun(BootloaderClient& client, Clock& clock, RunRecorder& runRecorder, PortUse use, JournalInUse journal, QObject* parent)
    : QObject(parent),
      bootloader(client),
      recorder(runRecorder),
      journalInUse(std::move(journal)),
      stepPort(client.connection(), use),
      round(*this, clock),
      verify(bootloader, recorder, [this](std::function<void()> next) { openThen(std::move(next)); })
{
    recorder.timeBy(clock);
    hear();
    connect(&round, &ProductionRound::finished, this, [this](bool right) {
        if (right && job.unique)
            writeUniquePage();
        else if (right)
            finish(RunOutcome::Right, lastResult);
    });
}

void DeviceRun::hear()
{
    // What the bootloader does for others between runs is none of this run's.
    const auto whileRunning = [this](auto told) {
        return [this, told](const auto&... values) {
            if (running)
                told(values...);
        };
    };
    connect(&bootloader.connection(), &Connection::status, this, whileRunning([this](const QString& text) { emit status(text); }));
    // The kernel has said the device is gone: no reply can come, so the run ends at once. What
    // came before counts, though: a board may reset right after its last reply.
    connect(&bootloader.connection(), &Connection::lost, this, whileRunning([this] {
        bootloader.connection().takeReceived([this] { stop(RunOutcome::PortLost, categoryOf(RunOutcome::PortLost)); });
    }));
    for (DeviceOperation* operation : std::initializer_list<DeviceOperation*>{&bootloader.download(), &bootloader.flashWrite(), &bootloader.flashRead()}) {
        connect(operation, &DeviceOperation::status, this, whileRunning([this](const QString& text) { emit status(text); }));
        connect(operation, &DeviceOperation::progress, this, whileRunning([this](int done, int total) {
            recorder.pagesDone(done);
            emit progress(done, total);
        }));
        connect(operation, &DeviceOperation::runningSum, this, whileRunning([this](std::uint32_t sum) { emit runningSum(sum); }));
        connect(operation, &DeviceOperation::finished, this,
                whileRunning([this, operation](const OperationResult& result) { ended(operation->kind(), result); }));
    }
    for (PageTransfer* transfer : std::initializer_list<PageTransfer*>{&bootloader.download(), &bootloader.flashWrite()}) {
        // What was sent, whatever the bootloader announced before (the window tells it by that).
        const QString allSent = transfer == &bootloader.download() ? QStringLiteral("IAP\u3000Successfully") : QStringLiteral("Write Flash Successfully");
        connect(transfer, &PageTransfer::versionReported, this, whileRunning([this](const QString& version) {
            recorder.versionReported(version);
            emit versionReported(version);
        }));
        connect(transfer, &PageTransfer::pagesStarted, this, whileRunning([this] { recorder.pagesStarted(); }));
        connect(transfer, &PageTransfer::allPagesSent, this, whileRunning([this, allSent](bool) { emit status(allSent); }));
    }
}

void DeviceRun::start(const Job& runJob, const PortInfo& runPort)
{
    job = runJob;
    port = runPort;
    running = true;
    writingUniquePage = false;
    lastResult.clear();
    current.reset();
    verify.cancel();
    recorder.begin(job, port);
    bootloader.setReplyTimeout(job.replyTimeoutSeconds);
    switch (job.kind) {
    case Job::Kind::Download:
    case Job::Kind::FlashWrite:
        transfer(*job.transfer);
        break;
    case Job::Kind::FlashRead:
        read();
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
        return job.slot0.has_value();
    case ProductionRound::Step::FlashSlot1:
        return job.slot1.has_value();
    case ProductionRound::Step::Application:
        return job.application.has_value();
    case ProductionRound::Step::Past:
        break;
    }
    return false;
}

void DeviceRun::run(ProductionRound::Step step)
{
    emit roundStep(step);
    if (step == ProductionRound::Step::Application)
        transfer(*job.application);
    else
        transfer(step == ProductionRound::Step::FlashSlot0 ? *job.slot0 : *job.slot1);
}

void DeviceRun::openThen(std::function<void()> next)
{
    stepPort.openThen(port, job.model, [this, next = std::move(next)](bool ready) {
        if (ready)
            next();
        else
            finish(RunOutcome::NoDevice, QString::fromLatin1(Connection::PortUnavailableText));
    });
}

void DeviceRun::transfer(const TransferPlan& plan)
{
    current = plan;
    openThen([this] {
        recorder.transferStarted(*current);
        emit imageSent(current->image().path(), current->image().sha256Hex());
        if (current->kind() == OperationKind::Download)
            bootloader.download().start(*current);
        else
            bootloader.flashWrite().start(*current);
    });
}

void DeviceRun::read()
{
    openThen([this] {
        recorder.readStarted(job.readBackFile);
        bootloader.flashRead().start(job.address.value_or(Address{}), job.pages);
    });
}

void DeviceRun::ended(OperationKind kind, const OperationResult& result)
{
    if (verify.isRunning()) {
        if (const auto verdict = verify.readEnded(result))
            verified(*verdict);
        return;
    }
    recorder.stepEnded(result.deviceSum(), result.text());
    if (!result.isRight()) {
        finish(outcomeOf(result.kind()), result.text());
        return;
    }
    if (kind == OperationKind::FlashRead) {
        recorder.dataRead(bootloader.flashRead().data());
        if (!job.readBackFile.isEmpty() && !bootloader.flashRead().save(job.readBackFile)) {
            finish(RunOutcome::InputError, FlashRead::unwritableText(job.readBackFile));
            return;
        }
    }
    stepPort.close();
    if (job.verify && kind != OperationKind::FlashRead) {
        emit verifying();
        verify.start(*current, job.model);
    } else {
        stepRight(kind, result.text());
    }
}

void DeviceRun::verified(const VerifyStep::Verdict& verdict)
{
    if (verdict.compared)
        emit status(verdict.text);
    if (verdict.outcome == RunOutcome::Right)
        stepRight(current->kind(), verdict.text);
    else
        finish(verdict.outcome, verdict.text);
}

void DeviceRun::writeUniquePage()
{
    Journal* journal = journalInUse ? journalInUse() : nullptr;
    QString why = QStringLiteral("a unique page needs a journal to draw its values from");
    std::optional<TransferPlan> page;
    if (journal)
        page = prepareUniquePage(*job.unique, job.barcode, *journal, uniqueHolder(port.path()), recorder, why);
    if (!page) {
        finish(RunOutcome::InputError, why);
        return;
    }
    writingUniquePage = true;
    emit uniquePageStep(recorder.boardSerial());
    transfer(*page);
}

void DeviceRun::stepRight(OperationKind kind, const QString& text)
{
    lastResult = text;
    if (job.kind == Job::Kind::Round && !writingUniquePage)
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
    stepPort.cancel();
    verify.cancel();
    stepPort.close();
    recorder.ended();
    emit finished(outcome, text);
}

}  // namespace iap
