#pragma once

#include <QString>
#include <QTemporaryDir>

namespace iap::test {

// A throw-away tree shaped like the tty part of sysfs: class/tty/<tty> links to the tty's own
// folder under devices/, whose `device` link leads to the device, whose `driver` and
// `subsystem` links lead to bus/<bus>/drivers/<driver> and bus/<bus>. All links are relative,
// as in sysfs, so they resolve only from where the links really live.
class FakeSysfs {
public:
    FakeSysfs();

    bool isValid() const { return root.isValid(); }
    QString ttyClassRoot() const;
    // The resolved path of a device added under devices/.
    QString devicePath(const QString& deviceUnderDevices) const;

    // A tty whose device, at deviceUnderDevices, is bound to the driver of the bus.
    bool addPort(const QString& tty, const QString& deviceUnderDevices, const QString& bus, const QString& driver);
    // A tty whose device no driver has claimed.
    bool addUnboundPort(const QString& tty, const QString& deviceUnderDevices, const QString& bus);
    // A tty with no device behind it, like a virtual console.
    bool addVirtualTty(const QString& tty);
    // The `type` attribute that serial-core gives its ports (0: no UART).
    bool setPortType(const QString& tty, int type);

private:
    bool addTtyUnder(const QString& tty, const QString& deviceUnderDevices);
    bool addDevice(const QString& deviceUnderDevices, const QString& bus);
    bool linkRelative(const QString& target, const QString& link) const;

    QTemporaryDir root;
};

}  // namespace iap::test
