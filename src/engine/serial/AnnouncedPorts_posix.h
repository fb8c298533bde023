#pragma once

#include <QString>

#include <vector>

#include "serial/PortInfo.h"

namespace iap {

// The virtual devices announced in a folder (see PortAnnouncement_posix.h), by name: each link
// whose target exists and whose lock its program holds, named as the link is and opened by its
// path, with the serial number its announcement names. A folder that another user could write
// into counts for nothing.
std::vector<PortInfo> announcedPorts(const QString& folder);

}  // namespace iap
