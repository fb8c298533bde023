#include "production/PortSession.h"

#include "journal/Journal.h"

namespace iap {
namespace {

// A record the journal refused: the run has not done its job, and says so at least as loudly as
// a wrong input would.
RunOutcome unrecorded(RunOutcome outcome)
{
    return exitStatusOf(outcome) > ExitStatus::InputError ? outcome : RunOutcome::InputError;
}

RunRecorder recorderFor(const std::optional<QString>& stationSocket)
{
    return stationSocket ? RunRecorder(*stationSocket) : RunRecorder();
}

}  // namespace

PortSession::Setup PortSession::forCommand(JournalInUse journal, std::unique_ptr<Line> line)
{
    Setup setup;
    setup.journal = std::move(journal);
    setup.line = std::move(line);
    return setup;
}

PortSession::Setup PortSession::forSocket(const QString& socket, JournalInUse journal, std::unique_ptr<Line> line)
{
    Setup setup = forCommand(std::move(journal), std::move(line));
    setup.stationSocket = socket;
    return setup;
}

PortSession::Setup PortSession::onHeldPort(const TransferPolicy& policy)
{
    Setup setup;
    setup.portUse = PortUse::HeldByCaller;
    setup.policy = &policy;
    return setup;
}

PortSession::PortSession(Clock& clock, Setup setup, QObject* parent)
    : QObject(parent),
      policy(*setup.policy),
      journalInUse(std::move(setup.journal)),
      client(clock, std::move(setup.line), policy, this),
      recorder(recorderFor(setup.stationSocket)),
      run(client, clock, recorder, boardValues, setup.portUse, journalInUse, this)
{
    relayConnection();
    for (DeviceOperation* operation : std::initializer_list<DeviceOperation*>{&client.download(), &client.flashWrite(), &client.flashRead()})
        relay(*operation);
    relay(client.download());
    relay(client.flashWrite());
    connect(&client.flashWrite(), &FlashWrite::imageAddress, this, &PortSession::flashImageAddress);
    connect(&client.download(), &Download::imageAddress, this, &PortSession::applicationAddress);
    relayRun();
}

void PortSession::relayConnection()
{
    connect(&client.connection(), &Connection::status, this, [this](const QString& text) {
        if (hears())
            emit status(text);
    });
    // The kernel has said the device is gone: no reply can come, so the run ends at once.
    connect(&client.connection(), &Connection::lost, this, [this] {
        if (run.isRunning())
            stopAfterReceived(RunOutcome::PortLost, categoryOf(RunOutcome::PortLost));
    });
}

void PortSession::relay(DeviceOperation& operation)
{
    const auto whenHeard = [this](auto told) {
        return [this, told](const auto&... values) {
            if (hears())
                told(values...);
        };
    };
    connect(&operation, &DeviceOperation::status, this, whenHeard([this](const QString& text) { emit status(text); }));
    connect(&operation, &DeviceOperation::progress, this, whenHeard([this](int done, int total) { emit progress(done, total); }));
    connect(&operation, &DeviceOperation::runningSum, this, whenHeard([this](std::uint32_t sum) { emit runningSum(sum); }));
    connect(&operation, &DeviceOperation::currentPageShown, this, whenHeard([this](std::int64_t page) { emit currentPageShown(page); }));
    connect(&operation, &DeviceOperation::currentPageCleared, this, whenHeard([this] { emit currentPageCleared(); }));
}

void PortSession::relay(PageTransfer& transfer)
{
    const OperationKind kind = transfer.kind();
    const auto allSent = [this, kind](bool versionSeen) {
        if (hears())
            emit status(policy.allPagesSentText(kind, versionSeen));
    };
    connect(&transfer, &PageTransfer::allPagesSent, this, allSent);
    // Every page was sent, however the line ran the last acknowledgement and the sum together.
    connect(&transfer, &PageTransfer::sumCameWithTheLastAcknowledgement, this, allSent);
    connect(&transfer, &PageTransfer::endPageShown, this, [this](std::int64_t page) {
        if (hears())
            emit endPageShown(page);
    });
    connect(&transfer, &PageTransfer::versionReported, this, [this](const QString& version) {
        if (hears())
            emit versionReported(version);
    });
}

void PortSession::relayRun()
{
    connect(&run, &DeviceRun::status, this, &PortSession::status);
    connect(&run, &DeviceRun::imageSent, this, &PortSession::imageSent);
    connect(&run, &DeviceRun::roundStep, this, &PortSession::roundStep);
    connect(&run, &DeviceRun::uniquePageStep, this, &PortSession::uniquePageStep);
    connect(&run, &DeviceRun::verifying, this, &PortSession::verifying);
    connect(&run, &DeviceRun::finished, this, &PortSession::ended);
    // A front end that hears the device between runs hears its late verdicts too; nothing of
    // them goes on record.
    connect(&run, &DeviceRun::verdictBetweenRuns, this, [this](OperationKind kind, const OperationResult& result) {
        if (policy.hearsBetweenRuns())
            emit finished({outcomeOf(result.kind()), result.text(), {}, kind});
    });
}

void PortSession::start(const Job& job, const PortInfo& port)
{
    run.start(job, port);
}

void PortSession::stop(RunOutcome why, const QString& text)
{
    run.stop(why, text);
}

void PortSession::stopAfterReceived(RunOutcome why, const QString& text)
{
    client.connection().takeReceived([this, why, text] {
        if (run.isRunning())
            run.stop(why, text);
    });
}

RunEnd PortSession::refuse(const Job& job, const PortInfo& port, RunOutcome why, const QString& text)
{
    recorder.begin(job, port);
    boardValues.clear();
    return keep(why, text, std::nullopt);
}

void PortSession::ended(RunOutcome outcome, const QString& text, std::optional<OperationKind> verdictOf)
{
    const auto conclude = [this, text, verdictOf](RunOutcome why) { emit finished(keep(why, text, verdictOf)); };
    if (endJudge)
        endJudge(outcome, conclude);
    else
        conclude(outcome);
}

RunEnd PortSession::keep(RunOutcome outcome, const QString& text, std::optional<OperationKind> verdictOf)
{
    const JournalRecord& record = recorder.close(outcome, text);
    Journal* journal = journalInUse ? journalInUse() : nullptr;
    if (!journal)
        return {outcome, record.result, record, verdictOf};
    if (const QString failure = boardValues.keep(record, *journal); !failure.isEmpty())
        return {unrecorded(outcome), QStringLiteral("the journal could not be written: %1").arg(failure), record, verdictOf};
    return {outcome, record.result, record, verdictOf};
}

}  // namespace iap
