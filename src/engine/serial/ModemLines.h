#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace iap {

class Line;

// The modem-status inputs of a serial adapter. A fixture may wire one of them to a switch that
// closes while a board lies in it.
enum class ModemLine { Cts, Dsr, Dcd, Ri };

// "cts", "dsr", "dcd" or "ri" in any case; nothing for another name (the outputs RTS and DTR too).
std::optional<ModemLine> modemLineNamed(const QString& name);
QString modemLineName(ModemLine line);
// For messages: the names a switch may be given.
QString modemLineChoices();

// Whether a modem-status input of a port is active. A real port tells its pins through the
// port held open; a virtual device has none and publishes them in a file beside its
// announcement. The port's path chooses which: a station need not care.
class ModemLines {
public:
    virtual ~ModemLines() = default;

    // The input's state as last read; nothing while it cannot be read (the port is closed or
    // gone, a virtual device that publishes no lines).
    virtual std::optional<bool> isActive(ModemLine line) = 0;

    // For the port at `path`, whose real port is read through `port` while it is open.
    static std::unique_ptr<ModemLines> forPort(const QString& path, Line& port);
};

}  // namespace iap
