#pragma once

#include <QString>

#include <optional>

namespace iap {

// One serial port as the system reports it: the name a person knows it by, the path that opens
// it, and what the system says of the adapter behind it.
class PortInfo {
public:
    PortInfo() = default;
    PortInfo(QString name, QString path) : portName(std::move(name)), portPath(std::move(path)) {}

    PortInfo& describedAs(QString description, QString manufacturer);
    PortInfo& onUsb(std::optional<quint16> vendorId, std::optional<quint16> productId, QString serialNumber);
    // The stable links udev makes: the physical socket, and the adapter's identity.
    PortInfo& linkedAs(QString byPath, QString byId);
    // A virtual device announced by a link to its pseudo-terminal.
    PortInfo& announcedFor(QString target);

    // The same port opened through another path (a by-path link that follows the socket).
    PortInfo openedAt(QString path) const;

    const QString& name() const { return portName; }
    const QString& path() const { return portPath; }
    const QString& description() const { return describedText; }
    const QString& manufacturer() const { return maker; }
    std::optional<quint16> vendorId() const { return vendor; }
    std::optional<quint16> productId() const { return product; }
    const QString& serialNumber() const { return serial; }
    const QString& byPath() const { return socketLink; }
    const QString& byId() const { return identityLink; }
    // What the port list shows after the name: description, maker, "usb VID:PID" and serial
    // number as far as the system reports them; "VIRTUAL SERIAL -> <target>" for a virtual device.
    QString details() const;
    // "0403:6001", lower-case hexadecimal; empty when the port is not on USB.
    QString usbId() const;

private:
    QString portName;
    QString portPath;
    QString describedText;
    QString maker;
    std::optional<quint16> vendor;
    std::optional<quint16> product;
    QString serial;
    QString socketLink;
    QString identityLink;
    QString virtualTarget;
};

}  // namespace iap
