#pragma once

#include <QString>

#include <functional>
#include <optional>

#include "device/DeviceProfile.h"
#include "production/RunOutcome.h"
#include "session/TransferPlan.h"
#include "verify/ReadBackVerify.h"

namespace iap {

class BootloaderClient;
class OperationResult;
class RunRecorder;

// The verify of a transfer whose sum the device confirmed, a step of its own: the pages sent are
// read back, in reads a device accepts, each on a port opened afresh, and compared byte for byte.
class VerifyStep {
public:
    // Opens the port afresh, then runs the read; a port that cannot be opened ends the run.
    using OpenThen = std::function<void(std::function<void()> read)>;

    struct Verdict {
        RunOutcome outcome;
        QString text;
        // The comparison ended it (its text is shown), not a read that failed.
        bool compared;
    };

    VerifyStep(BootloaderClient& bootloader, RunRecorder& recorder, OpenThen openThen);

    // In reads the device accepts.
    void start(const TransferPlan& plan, const DeviceProfile& device);
    bool isRunning() const { return comparison.has_value(); }
    void cancel() { comparison.reset(); }
    // A read of the verify has ended: none while the next read goes on, else the verdict.
    std::optional<Verdict> readEnded(const OperationResult& read);

private:
    void readNext();

    BootloaderClient& bootloader;
    RunRecorder& recorder;
    OpenThen openThen;
    std::optional<ReadBackVerify> comparison;
};

}  // namespace iap
