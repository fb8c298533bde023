#pragma once

#include "Bootloader.h"
#include "DeviceIdentity.h"
#include "EventLog.h"
#include "Flash.h"
#include "Options.h"
#include "PortLink.h"
#include "PortUseWatch.h"
#include "Terminal.h"
#include "SignalPipe.h"
#include "Transmitter.h"

#include <optional>
#include <string>

namespace iap::sim {

// The whole device process: line, announcement, flash, bootloader and the one loop that
// drives them from the line, the clock and the signals. Unplugged, it has no line and no
// announcement until the next device, a fresh one, is plugged in under the same name; in a
// fixture (--fixture), line and announcement stay, and only the board comes and goes.
class DeviceProcess {
public:
    explicit DeviceProcess(const Options& options);

    // Opens the line and announces it; false with a reason when it cannot.
    bool start(std::string& error);
    // Runs until SIGINT or SIGTERM, or until a device cannot be plugged in (false); the link is
    // gone and the image saved when it returns.
    bool run();

private:
    bool plug(Nanos now, std::string& error);
    bool openLine(std::string& error);
    void unplug(Nanos now, const std::string& cause);
    void announceBoard(bool present);
    bool roundReplyTaken(Nanos now) const;
    void readLine(Nanos now);
    bool handleSignals(Nanos now);
    void notePortUse();
    void noteToolRate();
    void hangUp();
    void closeLine();
    void saveImage();
    void noteHeldUp(Nanos sendAt, Nanos wokenAt);
    int pollTimeoutMs(Nanos now) const;

    Options options;
    Nanos startTime;
    EventLog log;
    LineTiming timing;
    Flash flash;
    Transmitter transmitter;
    Bootloader bootloader;
    Terminal line;
    PortLink link;
    PortUseWatch portUse;
    SignalPipe signals;
    // Programs that have the port open, as far as the watch tells.
    int portHolders = 0;
    std::string linkName;
    // The flash as the --image file gave it at start, for every device plugged in later.
    std::optional<Flash> imageAtStart;
    DeviceIdentity identity;
    // While unplugged: when the next device is plugged in. A fixture ignores its line until then.
    std::optional<Nanos> plugAt;
    // The tool's rate last logged.
    std::optional<unsigned> loggedRate;
    // A download has been completed and the device unplugs once its checksum reply is taken.
    bool roundEnded = false;
};

}  // namespace iap::sim
