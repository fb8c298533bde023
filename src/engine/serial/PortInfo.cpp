#include "serial/PortInfo.h"

#include <QStringList>

namespace iap {

PortInfo PortInfo::openedAt(QString path) const
{
    PortInfo port = *this;
    port.portPath = std::move(path);
    return port;
}

PortInfo& PortInfo::describedAs(QString description, QString manufacturer)
{
    describedText = std::move(description);
    maker = std::move(manufacturer);
    return *this;
}

PortInfo& PortInfo::onUsb(std::optional<quint16> vendorId, std::optional<quint16> productId, QString serialNumber)
{
    vendor = vendorId;
    product = productId;
    serial = std::move(serialNumber);
    return *this;
}

PortInfo& PortInfo::linkedAs(QString byPath, QString byId)
{
    socketLink = std::move(byPath);
    identityLink = std::move(byId);
    return *this;
}

PortInfo& PortInfo::announcedFor(QString target)
{
    virtualTarget = std::move(target);
    return *this;
}

QString PortInfo::details() const
{
    if (!virtualTarget.isEmpty())
        return QStringLiteral("VIRTUAL SERIAL -> ") + virtualTarget;
    QStringList parts;
    for (const QString& part : {describedText, maker})
        if (!part.isEmpty())
            parts << part;
    if (const QString usb = usbId(); !usb.isEmpty())
        parts << QStringLiteral("usb ") + usb;
    if (!serial.isEmpty())
        parts << serial;
    // A built-in UART says nothing of itself.
    return parts.isEmpty() ? QStringLiteral("serial port") : parts.join(QLatin1String(", "));
}

QString PortInfo::usbId() const
{
    return vendor && product ? QStringLiteral("%1:%2").arg(*vendor, 4, 16, QLatin1Char('0')).arg(*product, 4, 16, QLatin1Char('0')) : QString();
}

}  // namespace iap
