#include "production/DeviceRun.h"

#include "production/RunRecorder.h"

namespace iap {

DeviceRun::DeviceRun(BootloaderClient& client, Clock& clock, RunRecorder& runRecorder, BoardValues& values, PortUse use, JournalInUse journal,
                     QObject* parent)
    : QObject(parent),
      bootloader(client),
      recorder(runRecorder),
      journalInUse(std::move(journal)),
      stepPort(client.connection(), use),
      round(*this, clock),
      verify(bootloader, recorder, [this](std::function<void()> next) { openThen(std::move(next)); }),
      boardValues(values)
{
    recorder.timeBy(clock);
    hear();
    connect(&round, &ProductionRound::finished, this, [this](bool right) {
        if (right && job.unique)
            writeUniquePage();
        else if (right)
            finish(RunOutcome::Right, lastResult, lastStep);
    });
}

void DeviceRun::hear()
{
    // What the bootloader does for others between runs is none of this run's record.
    const auto whileRunning = [this](auto told) {
        return [this, told](const auto&... values) {
            if (running)
                told(values...);
        };
    };
    for (DeviceOperation* operation : std::initializer_list<DeviceOperation*>{&bootloader.download(), &bootloader.flashWrite(), &bootloader.flashRead()}) {
        connect(operation, &DeviceOperation::progress, this, whileRunning([this](int done, int) { recorder.pagesDone(done); }));
        connect(operation, &DeviceOperation::finished, this, [this, operation](const OperationResult& result) {
            if (running)
                ended(operation->kind(), result);
            else
                emit verdictBetweenRuns(operation->kind(), result);
        });
    }
    for (PageTransfer* transfer : std::initializer_list<PageTransfer*>{&bootloader.download(), &bootloader.flashWrite()}) {
        connect(transfer, &PageTransfer::versionReported, this, whileRunning([this](const QString& version) { recorder.versionReported(version); }));
        connect(transfer, &PageTransfer::pagesStarted, this, whileRunning([this] { recorder.pagesStarted(); }));
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
    boardValues.clear();
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
        finish(outcomeOf(result.kind()), result.text(), kind);
        return;
    }
    if (kind == OperationKind::FlashRead) {
        recorder.dataRead(bootloader.flashRead().data());
        if (!job.readBackFile.isEmpty() && !bootloader.flashRead().save(job.readBackFile)) {
            finish(RunOutcome::InputError, FlashRead::unwritableText(job.readBackFile), kind);
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
        finish(verdict.outcome, verdict.text, OperationKind::FlashRead);
}

void DeviceRun::writeUniquePage()
{
    Journal* journal = journalInUse ? journalInUse() : nullptr;
    QString why = QStringLiteral("a unique page needs a journal to draw its values from");
    std::optional<TransferPlan> page;
    if (journal) {
        page = boardValues.prepare(*job.unique, job.barcode, recorder.startedAt(), *journal, BoardValues::holderOf(port.path()),
                                   recorder.stepCount(), why);
        recorder.uniqueMade(boardValues.written(), boardValues.boardSerial());
    }
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
    lastStep = kind;
    if (job.kind == Job::Kind::Round && !writingUniquePage)
        round.ended(kind, true);
    else
        finish(RunOutcome::Right, lastResult, kind);
}

void DeviceRun::stop(RunOutcome why, const QString& text)
{
    if (!running)
        return;
    bootloader.connection().abandon();
    round.stop();
    finish(why, text);
}

void DeviceRun::finish(RunOutcome outcome, const QString& text, std::optional<OperationKind> verdictOf)
{
    if (!running)
        return;
    running = false;
    stepPort.cancel();
    verify.cancel();
    stepPort.close();
    recorder.ended();
    emit finished(outcome, text, verdictOf);
}

}  // namespace iap
