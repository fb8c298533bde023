#pragma once

#include "Bootloader.h"
#include "DevicePort.h"
#include "EventLog.h"
#include "Flash.h"
#include "ImageFile.h"
#include "Options.h"
#include "Plugging.h"
#include "SignalPipe.h"
#include "Transmitter.h"

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
    void readLine(Nanos now);
    bool handleSignals(Nanos now);
    void hangUp();
    void noteHeldUp(Nanos sendAt, Nanos wokenAt);
    int pollTimeoutMs(Nanos now) const;

    Options options;
    Nanos startTime;
    EventLog log;
    LineTiming timing;
    Flash flash;
    Transmitter transmitter;
    Bootloader bootloader;
    DevicePort port;
    ImageFile image;
    Plugging plugging;
    SignalPipe signals;
};

}  // namespace iap::sim
