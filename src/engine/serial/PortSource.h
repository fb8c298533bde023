#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace iap {

// One serial port as the system lists it: the name of the device behind it and the name that
// opens it (on Windows a registry value's name and its data).
class PortValue {
public:
    PortValue(QString deviceName, QString portName) : device(std::move(deviceName)), port(std::move(portName)) {}
    const QString& deviceName() const { return device; }
    const QString& portName() const { return port; }

private:
    QString device;
    QString port;
};

// How discovery treats a source's names. The Windows registry lists every serial port device,
// modems and all, under names of any case, so its names are upper-cased and only port names
// containing "COM" count. Linux device paths are case-sensitive and no tty name contains "COM",
// so its names are kept as they are and all of them count.
enum class PortNameRules { Registry, Verbatim };

// Where discovery learns which serial ports exist.
class PortSource {
public:
    virtual ~PortSource() = default;
    // In the source's own stable order.
    virtual std::vector<PortValue> values() = 0;
    virtual PortNameRules nameRules() const = 0;
};

// The source of the operating system the program runs on.
std::unique_ptr<PortSource> makeSystemPortSource();

}  // namespace iap
