#pragma once

#include "Bootloader.h"
#include "EventLog.h"
#include "Flash.h"
#include "Options.h"
#include "PortLink.h"
#include "PortUseWatch.h"
#include "PseudoTerminal.h"
#include "SignalPipe.h"
#include "Transmitter.h"

#include <string>

namespace iap::sim {

// The whole device process: line, announcement, flash, bootloader and the one loop that
// drives them from the line, the clock and the signals.
class DeviceProcess {
public:
    explicit DeviceProcess(const Options& options);

    // Opens the line and announces it; false with a reason when it cannot.
    bool start(std::string& error);
    // Runs until SIGINT or SIGTERM; the link is gone and the image saved when it returns.
    void run();

private:
    void readLine(Nanos now);
    bool handleSignals(Nanos now);
    void notePortUse();
    void hangUp();
    void saveImage();
    int pollTimeoutMs(Nanos now) const;

    Options options;
    Nanos startTime;
    EventLog log;
    LineTiming timing;
    Flash flash;
    Transmitter transmitter;
    Bootloader bootloader;
    PseudoTerminal line;
    PortLink link;
    PortUseWatch portUse;
    SignalPipe signals;
    // Programs that have the port open, as far as the watch tells.
    int portHolders = 0;
};

}  // namespace iap::sim
