#pragma once

#include <QTimer>

#include "station/BoardTrigger.h"

namespace iap {

// The board brings the adapter: its port appearing is the board put in, once it has stayed
// SettleMs, and its port vanishing is the board taken out.
class AppearTrigger : public BoardTrigger {
    Q_OBJECT

public:
    static constexpr int SettleMs = 100;

    explicit AppearTrigger(PortPresence& presence);

    TriggerKind kind() const override { return TriggerKind::Appear; }
    bool boardIn() const override;

private:
    PortPresence& presence;
    QTimer settle;
};

}  // namespace iap
