#include "production/RunRecorder.h"

#include <QCryptographicHash>
#include <QSysInfo>
#include <QUuid>

#include "journal/JournalImage.h"
#include "platform/Clock.h"
#include "protocol/HexNumber.h"

namespace iap {
namespace {

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

// A step on the plan's image: its file, its format and where its pages go.
JournalStep stepOf(const QString& kind, const TransferPlan& plan)
{
    JournalStep step;
    step.kind = kind;
    step.file = plan.image().path();
    step.format = plan.format();
    step.addressRange = plan.addressRange();
    return step;
}

// The run's address: the one given, else where a single transfer's image or a round's application
// names its own.
std::optional<Address> runAddress(const Job& job)
{
    if (job.address)
        return job.address;
    if (const std::optional<TransferPlan>& plan = job.transfer ? job.transfer : job.application)
        return plan->address();
    return std::nullopt;
}

}  // namespace

void RunRecorder::begin(const Job& job, const PortInfo& port)
{
    record = {};
    record.started = QDateTime::currentDateTimeUtc();
    record.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.host = QSysInfo::machineHostName();
    record.command = socket ? QStringLiteral("station") : commandOf(job.kind);
    record.socket = socket.value_or(QString());
    record.port = port.name();
    record.path = port.path();
    record.byPath = port.byPath();
    record.usbId = port.usbId();
    record.serial = port.serialNumber();
    record.model = job.model.name;
    if (const std::optional<Address> address = runAddress(job))
        record.address = addressText(*address);
    record.job = job.jobFile;
    record.jobSha256 = job.jobSha256;
    record.barcode = job.barcode;
}

void RunRecorder::beginStep(JournalStep step)
{
    stepStartMs = clock ? clock->nowMs() : 0;
    record.steps.push_back(std::move(step));
}

std::int64_t RunRecorder::stepElapsedMs() const
{
    return clock ? clock->nowMs() - stepStartMs : 0;
}

void RunRecorder::pagesStarted()
{
    if (!record.steps.empty())
        record.steps.back().eraseMs = stepElapsedMs();
}

void RunRecorder::transferStarted(const TransferPlan& plan)
{
    JournalStep step = stepOf(plan.kind() == OperationKind::Download ? QStringLiteral("download") : QStringLiteral("flash write"), plan);
    step.sizeBytes = plan.image().size();
    step.sha256 = plan.image().sha256Hex();
    beginStep(step);
}

void RunRecorder::verifyStarted(const TransferPlan& plan)
{
    beginStep(stepOf(QStringLiteral("verify"), plan));
}

void RunRecorder::readStarted(const QString& file)
{
    JournalStep step;
    step.kind = QStringLiteral("read");
    step.file = file;
    beginStep(step);
}

void RunRecorder::pagesDone(int pages)
{
    if (!record.steps.empty())
        record.steps.back().pages = pages;
}

void RunRecorder::versionReported(const QString& version)
{
    record.bootloaderVersion = version;
}

void RunRecorder::stepEnded(std::optional<std::uint32_t> deviceSum, const QString& verdict)
{
    if (record.steps.empty())
        return;
    record.steps.back().deviceSum = deviceSum;
    record.steps.back().verdict = verdict;
    record.steps.back().durationMs = stepElapsedMs();
}

void RunRecorder::dataRead(const QByteArray& data)
{
    if (record.steps.empty())
        return;
    record.steps.back().sizeBytes = data.size();
    record.steps.back().sha256 = QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

void RunRecorder::compared(std::int64_t bytes, int pages)
{
    if (record.steps.empty())
        return;
    record.steps.back().pages = pages;
    record.steps.back().sizeBytes = bytes;
}

void RunRecorder::uniqueMade(const std::vector<WrittenValue>& values, const QString& boardSerial)
{
    record.uniqueValues = values;
    record.boardSerial = boardSerial;
}

void RunRecorder::ended()
{
    record.ended = QDateTime::currentDateTimeUtc();
    record.durationMs = record.started.msecsTo(record.ended);
    sumPhases();
    record.image = imageOfSteps(record.steps);
}

void RunRecorder::sumPhases()
{
    record.eraseMs = record.pagesMs = record.verifyMs = 0;
    for (const JournalStep& step : record.steps) {
        if (step.kind == QLatin1String("verify")) {
            record.verifyMs += step.durationMs;
        } else if (step.kind != QLatin1String("read")) {
            record.eraseMs += step.eraseMs;
            record.pagesMs += std::max<std::int64_t>(0, step.durationMs - step.eraseMs);
        }
    }
}

const JournalRecord& RunRecorder::close(RunOutcome outcome, const QString& text)
{
    const bool gone = outcome == RunOutcome::BoardRemoved || outcome == RunOutcome::PortLost;
    if (!record.ended.isValid())
        ended();
    record.pass = outcome == RunOutcome::Right;
    record.result = gone ? categoryOf(outcome) : text;
    record.category = categoryOf(outcome);
    return record;
}

}  // namespace iap
