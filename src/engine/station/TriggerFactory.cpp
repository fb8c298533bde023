#include "station/TriggerFactory.h"

#include "production/BootloaderClient.h"
#include "station/AppearTrigger.h"
#include "station/LineTrigger.h"
#include "station/ProbeTrigger.h"

namespace iap {

std::unique_ptr<BoardTrigger> makeTrigger(TriggerKind kind, PortPresence& presence, BootloaderClient& bootloader, const TriggerSettings& settings,
                                          Clock& clock)
{
    switch (kind) {
    case TriggerKind::Probe:
        return std::make_unique<ProbeTrigger>(presence, bootloader, settings, clock);
    case TriggerKind::Line:
        return std::make_unique<LineTrigger>(presence, bootloader.connection(), settings, clock);
    case TriggerKind::Appear:
        break;
    }
    return std::make_unique<AppearTrigger>(presence, clock);
}

}  // namespace iap
