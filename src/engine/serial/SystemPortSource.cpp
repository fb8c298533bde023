#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <map>

#include "serial/PortSource.h"

#ifdef Q_OS_UNIX
#include "serial/AnnouncedPorts_posix.h"
#include "serial/PortAnnouncement_posix.h"
#endif
#ifdef Q_OS_LINUX
#include "serial/UdevPort_linux.h"
#endif

namespace iap {
namespace {

// The links udev keeps in a folder of /dev/serial, by the device each leads to.
std::map<QString, QString> linksIn(const QString& folder)
{
    std::map<QString, QString> links;
    for (const QFileInfo& link : QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        links.emplace(link.canonicalFilePath(), link.absoluteFilePath());
    return links;
}

class SystemPortSource final : public PortSource {
public:
    std::vector<PortInfo> ports() override
    {
        const auto byPath = linksIn(QStringLiteral("/dev/serial/by-path"));
        const auto byId = linksIn(QStringLiteral("/dev/serial/by-id"));
        const auto linkTo = [](const std::map<QString, QString>& links, const QString& device) {
            const auto found = links.find(device);
            return found == links.end() ? QString() : found->second;
        };
        std::vector<PortInfo> ports;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            const QString device = QFileInfo(info.systemLocation()).canonicalFilePath();
            PortInfo port(info.portName(), info.systemLocation());
            port.describedAs(info.description(), info.manufacturer());
            port.onUsb(info.hasVendorIdentifier() ? std::optional(info.vendorIdentifier()) : std::nullopt,
                       info.hasProductIdentifier() ? std::optional(info.productIdentifier()) : std::nullopt, info.serialNumber());
            port.linkedAs(linkTo(byPath, device), linkTo(byId, device));
            ports.push_back(std::move(port));
        }
        sortByName(ports);
#ifdef Q_OS_UNIX
        std::vector<PortInfo> announced = announcedPorts(QFile::decodeName(announcementFolder().c_str()));
        ports.insert(ports.end(), std::make_move_iterator(announced.begin()), std::make_move_iterator(announced.end()));
#endif
        return ports;
    }

#ifdef Q_OS_LINUX
    std::optional<PortInfo> portAt(const QString& path) override
    {
        // A virtual device's link leads to a pseudo-terminal, which only its announcement names.
        const QString folder = QFile::decodeName(announcementFolder().c_str());
        if (QFileInfo(path).absolutePath() == folder) {
            for (const PortInfo& port : announcedPorts(folder))
                if (port.path() == QFileInfo(path).absoluteFilePath())
                    return port;
            return std::nullopt;
        }
        const QString device = QFileInfo(path).canonicalFilePath();
        return device.isEmpty() ? std::nullopt : udevPort(device);
    }
#endif
};

}  // namespace

std::optional<PortInfo> PortSource::portAt(const QString& path)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty())
        return std::nullopt;
    for (const PortInfo& port : ports())
        if (QFileInfo(port.path()).canonicalFilePath() == device)
            return port;
    return std::nullopt;
}

void sortByName(std::vector<PortInfo>& ports)
{
    // The C locale compares code points whatever the mode; English counts numbers as people do.
    QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.setNumericMode(true);
    std::sort(ports.begin(), ports.end(), [&collator](const PortInfo& a, const PortInfo& b) { return collator.compare(a.name(), b.name()) < 0; });
}

std::unique_ptr<PortSource> makeSystemPortSource()
{
    return std::make_unique<SystemPortSource>();
}

}  // namespace iap
