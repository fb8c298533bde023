#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "serial/PortInfo.h"

namespace iap {

// Where discovery learns which serial ports exist.
class PortSource {
public:
    virtual ~PortSource() = default;
    // The system's ports in the order people count them (ttyUSB2 before ttyUSB10), then the
    // virtual devices announced, by name.
    virtual std::vector<PortInfo> ports() = 0;
    // The port whose device `path` leads to (a by-path link, say), as ports() lists it; nothing
    // when none does. A source that can find one port alone does so without listing them all.
    virtual std::optional<PortInfo> portAt(const QString& path);
};

// The ports of the system the program runs on: Qt's serial port list, with udev's stable links
// on Linux, and the virtual devices announced in the user's folder (PortAnnouncement_posix.h).
std::unique_ptr<PortSource> makeSystemPortSource();
// By name, numbers counted: ttyUSB2 before ttyUSB10.
void sortByName(std::vector<PortInfo>& ports);

}  // namespace iap
