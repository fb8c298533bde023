#pragma once

#include <QString>

#include <vector>

#include "serial/PortDiscovery.h"

namespace iap::cli {

// `iap-cli ports`: one line per port as the window lists it, the preferred port first; with
// --json one object per port (name, path, byPath, byId, description, manufacturer, vid, pid,
// serial, preferred).
QString portListText(const PortListing& listing, bool json);

// What a --port names: a port by its listed name, a path (a device, a by-path or by-id link, a
// virtual device's link), or usb:VID:PID[:SERIAL], the one adapter the system lists with that
// identity. The port with what the system says of it (a path it does not list stands alone),
// or why none is meant, with the ports there are. A name of no port there is refused so too,
// unless the port is `awaited` (a station's, until its board's port appears).
class ChosenPort {
public:
    enum class Absent { Refused, Awaited };

    static ChosenPort choose(const QString& spec, const PortListing& listing, Absent absent = Absent::Refused);
    const PortInfo& port() const { return chosen; }
    const QString& path() const { return chosen.path(); }
    const QString& error() const { return why; }

private:
    PortInfo chosen;
    QString why;
};

}  // namespace iap::cli
