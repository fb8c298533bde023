#pragma once

#include "platform/ClockTimer.h"
#include "station/BoardTrigger.h"

namespace iap {

// The board brings the adapter: its port appearing is the board put in, once it has stayed
// SettleMs of the station's clock, and its port vanishing is the board taken out.
class AppearTrigger : public BoardTrigger {
    Q_OBJECT

public:
    static constexpr int SettleMs = 100;

    AppearTrigger(PortPresence& presence, Clock& clock);

    TriggerKind kind() const override { return TriggerKind::Appear; }
    bool boardIn() const override;

private:
    PortPresence& presence;
    ClockTimer settle;
};

}  // namespace iap
