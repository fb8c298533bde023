#pragma once

#include "Clock.h"

#include <cstdio>
#include <string>

namespace iap::sim {

// One line per event, "<ms since start> <KIND> <details>", flushed at once so that a test can
// follow the device by reading the file while it runs. Kinds: CONFIG, READY, RX CMD, RX PAGE,
// TX, TX DATA, PACKET, INFO, FAULT, VIOLATION, PLUG, UNPLUG, SWITCH, RESTART, SAVED, HANGUP, EXIT.
class EventLog {
public:
    explicit EventLog(Nanos start);
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Without a file the log goes to stderr.
    bool openFile(const std::string& path);
    void write(const std::string& text);

private:
    Nanos startTime;
    std::FILE* file = nullptr;
};

}  // namespace iap::sim
