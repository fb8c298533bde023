#include "production/VerifyStep.h"

#include "production/BootloaderClient.h"
#include "production/RunRecorder.h"

namespace iap {

VerifyStep::VerifyStep(BootloaderClient& client, RunRecorder& runRecorder, OpenThen open)
    : bootloader(client), recorder(runRecorder), openThen(std::move(open))
{
}

void VerifyStep::start(const TransferPlan& plan, const DeviceProfile& device)
{
    comparison.emplace(plan, device.mostReadPages);
    recorder.verifyStarted(plan);
    readNext();
}

void VerifyStep::readNext()
{
    openThen([this] {
        const auto read = comparison->next();
        bootloader.flashRead().start(read->address, read->pages);
    });
}

std::optional<VerifyStep::Verdict> VerifyStep::readEnded(const OperationResult& read)
{
    if (!read.isRight()) {
        recorder.stepEnded(read.deviceSum(), read.text());
        comparison.reset();
        return Verdict{outcomeOf(read.kind()), read.text(), false};
    }
    bootloader.connection().close();
    const bool same = comparison->take(bootloader.flashRead().data());
    recorder.compared(comparison->bytesCompared(), comparison->pagesCompared());
    if (comparison->next()) {
        recorder.stepEnded(read.deviceSum(), {});
        readNext();
        return std::nullopt;
    }
    const QString text = comparison->text();
    recorder.stepEnded(read.deviceSum(), text);
    comparison.reset();
    return Verdict{same ? RunOutcome::Right : RunOutcome::VerifyError, text, true};
}

}  // namespace iap
