#include "serial/AnnouncedPorts_posix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "serial/PortAnnouncement_posix.h"
#include "serial/PortSource.h"

namespace iap {

std::vector<PortInfo> announcedPorts(const QString& folder)
{
    if (!announcementFolderTrusted(QFile::encodeName(folder).toStdString()))
        return {};
    std::vector<PortInfo> ports;
    const QDir::Filters everyEntry = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden;
    for (const QFileInfo& link : QDir(folder).entryInfoList(everyEntry)) {
        const std::string path = QFile::encodeName(link.absoluteFilePath()).toStdString();
        if (!link.isSymLink() || !link.exists() || !announcedDeviceAlive(path))
            continue;
        ports.emplace_back(link.fileName(), link.absoluteFilePath());
        // A virtual device has no USB identity of its own; its serial number tells one board from the next.
        ports.back().announcedFor(link.symLinkTarget()).onUsb(std::nullopt, std::nullopt, QString::fromLatin1(announcedSerial(path)));
    }
    sortByName(ports);
    return ports;
}

}  // namespace iap
