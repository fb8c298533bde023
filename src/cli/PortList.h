#pragma once

#include <QString>

#include <vector>

#include "serial/PortDiscovery.h"

namespace iap::cli {

// `iap-cli ports`: one line per port as the window lists it, the preferred port first; with
// --json one object per port (name, path, byPath, byId, description, manufacturer, vid, pid,
// serial, preferred).
QString portListText(const std::vector<PortEntry>& entries, bool json);

// What a --port names: a port by its listed name, a path (a device, a by-path or by-id link, a
// virtual device's link), or usb:VID:PID[:SERIAL], the one adapter the system lists with that
// identity. The path that opens it, or why none does, with the ports there are.
class ChosenPort {
public:
    static ChosenPort choose(const QString& spec, const std::vector<PortEntry>& entries);
    const QString& path() const { return chosenPath; }
    const QString& error() const { return why; }

private:
    QString chosenPath;
    QString why;
};

}  // namespace iap::cli
