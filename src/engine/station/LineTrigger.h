#pragma once

#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>

#include "station/BoardTrigger.h"
#include "station/HeldPort.h"

namespace iap {

class Connection;

// The fixture's switch, wired to one of the adapter's modem-status inputs: active is a board
// in, inactive a board out. The port stays in the fixture and is held open between rounds; the
// input is read every LookMs, during a round too, so that a board taken out ends it at once.
class LineTrigger : public BoardTrigger {
    Q_OBJECT

public:
    static constexpr int LookMs = 10;
    // A switch's contacts bounce as they close and open: a new state counts once it has held
    // this long.
    static constexpr int SettleMs = 10;

    LineTrigger(PortPresence& presence, Connection& connection, const TriggerSettings& settings, Clock& clock);

    TriggerKind kind() const override { return TriggerKind::Line; }
    bool boardIn() const override { return in; }
    void roundStarts() override { roundRuns = true; }
    void roundEnded(bool askAgain, const std::function<void()>& known) override;

private:
    void look();

    PortPresence& presence;
    Connection& connection;
    const TriggerSettings& settings;
    Clock& clock;
    HeldPort held;
    std::unique_ptr<ModemLines> lines;
    QString linesPath;
    QTimer looks;
    bool in = false;
    bool roundRuns = false;
    // A state read that differs from `in`, and since when it has been read.
    std::optional<bool> seen;
    std::int64_t seenSinceMs = 0;
};

}  // namespace iap
