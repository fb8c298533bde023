#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "device/DeviceProfiles.h"
#include "protocol/Page.h"
#include "serial/ModemLines.h"
#include "station/TriggerKinds.h"

namespace iap {

class BootloaderClient;
class Clock;
class PortPresence;

// What the triggers of a station's sockets take from its job.
struct TriggerSettings {
    static constexpr int DefaultProbeMs = 1000;
    static constexpr int ShortestProbeMs = 100;
    static constexpr int LongestProbeMs = 60000;

    DeviceProfile model = DefaultDevice;
    ModemLine switchLine = ModemLine::Cts;
    // The page a probe reads; none, and no socket can probe.
    std::optional<Address> probeAddress;
    int probeMs = DefaultProbeMs;
};

// A socket's trigger, what tells it that a board was put in or taken out (its kinds: see
// TriggerKinds.h; TriggerFactory makes them):
// - appear: the port appears (the adapter is on the board) and vanishes;
// - probe: a bootloader answers a one-page flash read on the port, which stays in the fixture;
// - line: the fixture's switch on one of the adapter's modem-status inputs closes and opens.
// It reads the settings at each use, so a job applied meanwhile counts from then on.
class BoardTrigger : public QObject {
    Q_OBJECT

public:
    virtual TriggerKind kind() const = 0;
    // Whether a board is in, as far as the trigger knows now.
    virtual bool boardIn() const = 0;
    // Why it cannot tell a board now; empty when it can.
    virtual QString unable() const { return {}; }
    // A round talks to the board from now on: the trigger leaves the port to it.
    virtual void roundStarts() {}
    // The round has ended. `known` runs once boardIn() tells whether the board is still there:
    // at once, or, with `askAgain` for a probe, once the board has been asked.
    virtual void roundEnded(bool askAgain, const std::function<void()>& known);
    // True until the trigger has first told whether a board is in: a board it tells put in
    // before then was in the socket when the trigger began to look.
    bool atFirstLook() const { return !looked; }

signals:
    void putIn();
    void takenOut();

protected:
    // The trigger has told whether a board is in, by a signal or, when nothing changed, by none.
    void lookDone() { looked = true; }

private:
    bool looked = false;
};

}  // namespace iap
