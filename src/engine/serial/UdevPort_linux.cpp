#include "serial/UdevPort_linux.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <libudev.h>

#include <memory>

namespace iap {
namespace {

struct UdevUnref {
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};

std::optional<quint16> hexWord(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    return ok && value <= 0xFFFF ? std::optional(quint16(value)) : std::nullopt;
}

}  // namespace

std::optional<PortInfo> udevPort(const QString& device)
{
    const std::unique_ptr<udev, UdevUnref> context(udev_new());
    if (!context)
        return std::nullopt;
    const QString name = QFileInfo(device).fileName();
    const std::unique_ptr<udev_device, UdevUnref> tty(udev_device_new_from_subsystem_sysname(context.get(), "tty", QFile::encodeName(name).constData()));
    if (!tty)
        return std::nullopt;
    const auto property = [&tty](const char* key) {
        const char* value = udev_device_get_property_value(tty.get(), key);
        return value ? QString::fromLocal8Bit(value) : QString();
    };
    // As Qt's port list shows them: udev's names with their underscores as spaces.
    PortInfo port(name, QStringLiteral("/dev/") + name);
    port.describedAs(property("ID_MODEL").replace(u'_', u' '), property("ID_VENDOR").replace(u'_', u' '));
    port.onUsb(hexWord(property("ID_VENDOR_ID")), hexWord(property("ID_MODEL_ID")), property("ID_SERIAL_SHORT"));
    QString byPath, byId;
    for (const QString& link : property("DEVLINKS").split(u' ', Qt::SkipEmptyParts)) {
        if (link.startsWith(QLatin1String("/dev/serial/by-path/")))
            byPath = link;
        else if (link.startsWith(QLatin1String("/dev/serial/by-id/")))
            byId = link;
    }
    port.linkedAs(byPath, byId);
    return port;
}

}  // namespace iap
