#include "FakeSysfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace iap::test {

FakeSysfs::FakeSysfs()
{
    QDir(root.path()).mkpath(QStringLiteral("class/tty"));
}

QString FakeSysfs::ttyClassRoot() const
{
    return root.filePath(QStringLiteral("class/tty"));
}

QString FakeSysfs::devicePath(const QString& deviceUnderDevices) const
{
    return QFileInfo(root.filePath(QStringLiteral("devices/") + deviceUnderDevices)).canonicalFilePath();
}

bool FakeSysfs::addPort(const QString& tty, const QString& deviceUnderDevices, const QString& bus,
                        const QString& driver)
{
    const QString driverDir = root.filePath(QStringLiteral("bus/%1/drivers/%2").arg(bus, driver));
    return addDevice(deviceUnderDevices, bus) && QDir().mkpath(driverDir)
        && linkRelative(driverDir, root.filePath(QStringLiteral("devices/%1/driver").arg(deviceUnderDevices)))
        && addTtyUnder(tty, deviceUnderDevices);
}

bool FakeSysfs::addUnboundPort(const QString& tty, const QString& deviceUnderDevices, const QString& bus)
{
    return addDevice(deviceUnderDevices, bus) && addTtyUnder(tty, deviceUnderDevices);
}

bool FakeSysfs::addVirtualTty(const QString& tty)
{
    const QString ttyDir = root.filePath(QStringLiteral("devices/virtual/tty/") + tty);
    return QDir().mkpath(ttyDir) && linkRelative(ttyDir, ttyClassRoot() + u'/' + tty);
}

bool FakeSysfs::setPortType(const QString& tty, int type)
{
    QFile file(ttyClassRoot() + u'/' + tty + QStringLiteral("/type"));
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(type) + '\n') > 0;
}

bool FakeSysfs::addTtyUnder(const QString& tty, const QString& deviceUnderDevices)
{
    const QString device = root.filePath(QStringLiteral("devices/") + deviceUnderDevices);
    const QString ttyDir = device + QStringLiteral("/tty/") + tty;
    return QDir().mkpath(ttyDir) && linkRelative(device, ttyDir + QStringLiteral("/device"))
        && linkRelative(ttyDir, ttyClassRoot() + u'/' + tty);
}

bool FakeSysfs::addDevice(const QString& deviceUnderDevices, const QString& bus)
{
    const QString device = root.filePath(QStringLiteral("devices/") + deviceUnderDevices);
    const QString busDir = root.filePath(QStringLiteral("bus/") + bus);
    return QDir().mkpath(device) && QDir().mkpath(busDir)
        && linkRelative(busDir, device + QStringLiteral("/subsystem"));
}

bool FakeSysfs::linkRelative(const QString& target, const QString& link) const
{
    return QFile::link(QFileInfo(link).dir().relativeFilePath(target), link);
}

}  // namespace iap::test
