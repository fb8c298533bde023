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
        if (!link.isSymLink() || !link.exists() || !announcedDeviceAlive(QFile::encodeName(link.absoluteFilePath()).toStdString()))
            continue;
        ports.emplace_back(link.fileName(), link.absoluteFilePath());
        ports.back().announcedFor(link.symLinkTarget());
    }
    sortByName(ports);
    return ports;
}

}  // namespace iap
