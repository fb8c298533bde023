#pragma once

#include <memory>

#include "station/BoardTrigger.h"

namespace iap {

// A trigger of that kind on a socket's port. Apart from the triggers' base, which knows none of
// its kinds.
std::unique_ptr<BoardTrigger> makeTrigger(TriggerKind kind, PortPresence& presence, BootloaderClient& bootloader, const TriggerSettings& settings,
                                          Clock& clock);

}  // namespace iap
