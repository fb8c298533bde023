#pragma once

#include <QString>

#include "session/OperationResult.h"

namespace iap {

// How a run on one port ended, worst last but for a removal and a stop.
enum class RunOutcome { Right, ChecksumError, VerifyError, InputError, NoDevice, PortLost, BoardRemoved, Stopped };

// What iap-cli's exit status says, worst last: across ports the worst applies. Failed: a
// device's sum or its read-back differed (for the station: a board failed).
enum class ExitStatus { Right = 0, Failed = 1, InputError = 2, NoDevice = 3 };

// The journal's category of an outcome: "right", "checksum error", "board removed", ...
QString categoryOf(RunOutcome outcome);
// How a run ends on an operation's result.
RunOutcome outcomeOf(OperationResult::Kind kind);
ExitStatus exitStatusOf(RunOutcome outcome);

}  // namespace iap
