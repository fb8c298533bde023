#include "serial/PortSource_linux.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>

#include "serial/PortAnnouncement_posix.h"

namespace iap {

namespace {

// serial-core's PORT_UNKNOWN: the port exists in the driver's table but no UART answered.
constexpr int NoUartPortType = 0;

// Names ordered as people count them: ttyS2 before ttyS10.
void sortByPortName(std::vector<PortValue>& ports)
{
    // The C locale compares code points whatever the mode; English counts numbers as people do.
    QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.setNumericMode(true);
    std::sort(ports.begin(), ports.end(), [&collator](const PortValue& a, const PortValue& b) { return collator.compare(a.portName(), b.portName()) < 0; });
}

QString linkedName(const QString& link)
{
    return QFileInfo(QFileInfo(link).canonicalFilePath()).fileName();
}

bool hasNoUart(const QString& ttyPath)
{
    QFile type(ttyPath + QLatin1String("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return false;
    bool isNumber = false;
    const int portType = type.readAll().trimmed().toInt(&isNumber);
    return isNumber && portType == NoUartPortType;
}

// An entry is split at its first two spaces, so a port name holding them could not be opened.
bool fitsInEntry(const QString& portName)
{
    return !portName.isEmpty() && !portName.contains(QLatin1String("  "));
}

}  // namespace

LinuxPortSource::LinuxPortSource(QString ttyClassRoot, std::optional<QString> announcementFolder)
    : ttyClassRoot(std::move(ttyClassRoot)), announcementFolder(std::move(announcementFolder))
{
}

std::vector<PortValue> LinuxPortSource::values()
{
    std::vector<PortValue> ports = sysfsPorts();
    std::vector<PortValue> announced = announcedPorts();
    ports.insert(ports.end(), std::make_move_iterator(announced.begin()), std::make_move_iterator(announced.end()));
    return ports;
}

std::vector<PortValue> LinuxPortSource::sysfsPorts() const
{
    std::vector<PortValue> ports;
    const QDir root(ttyClassRoot);
    for (const QString& tty : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        const QString ttyPath = root.filePath(tty);
        const QString devicePath = QFileInfo(ttyPath + QLatin1String("/device")).canonicalFilePath();
        const QString driver = linkedName(ttyPath + QLatin1String("/device/driver"));
        if (devicePath.isEmpty() || driver.isEmpty() || hasNoUart(ttyPath) || !fitsInEntry(tty))
            continue;
        const QString bus = linkedName(ttyPath + QLatin1String("/device/subsystem"));
        const QString busAndDriver = bus.isEmpty() ? driver : bus + u'/' + driver;
        ports.emplace_back(busAndDriver + u' ' + devicePath, tty);
    }
    sortByPortName(ports);
    return ports;
}

std::vector<PortValue> LinuxPortSource::announcedPorts() const
{
    const QString folder = announcementFolder ? *announcementFolder
                                              : QFile::decodeName(iap::announcementFolder().c_str());
    if (!announcementFolderTrusted(QFile::encodeName(folder).toStdString()))
        return {};

    std::vector<PortValue> ports;
    const QDir dir(folder);
    const QDir::Filters everyEntry = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden;
    for (const QFileInfo& link : dir.entryInfoList(everyEntry)) {
        if (!link.isSymLink() || !link.exists() || !fitsInEntry(link.absoluteFilePath())
            || !announcedDeviceAlive(QFile::encodeName(link.absoluteFilePath()).toStdString()))
            continue;
        ports.emplace_back(QStringLiteral("VIRTUAL SERIAL -> ") + link.symLinkTarget(), link.absoluteFilePath());
    }
    sortByPortName(ports);
    return ports;
}

std::unique_ptr<PortSource> makeSystemPortSource()
{
    return std::make_unique<LinuxPortSource>();
}

}  // namespace iap
