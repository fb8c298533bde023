#include "serial/PortPresence.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSerialPortInfo>
#else
#include "serial/PortAnnouncement_posix.h"
#endif

namespace iap {

PortPresence::PortPresence(QStringList watched, QObject* parent) : QObject(parent), paths(std::move(watched))
{
    Q_ASSERT(!paths.isEmpty());
    presentPath = lookedUp();
    poll.setInterval(PollMs);
    connect(&poll, &QTimer::timeout, this, &PortPresence::look);
    poll.start();
}

bool PortPresence::isPresent(const QString& path)
{
#ifdef Q_OS_WIN
    // A COM port is no file: the system's list says whether it is there.
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        if (port.portName().compare(path, Qt::CaseInsensitive) == 0 || port.systemLocation() == path)
            return true;
    return false;
#else
    if (!QFileInfo::exists(path))
        return false;
    const std::string local = QFile::encodeName(path).toStdString();
    if (isAnnouncement(local))
        return announcedDeviceAlive(local);
    return true;
#endif
}

QString PortPresence::lookedUp() const
{
    for (const QString& candidate : paths)
        if (isPresent(candidate))
            return candidate;
    return {};
}

void PortPresence::look()
{
    const QString now = lookedUp();
    if (now == presentPath)
        return;
    const bool was = isPresent();
    presentPath = now;
    // A port that moved from one path to another at once was taken out and put in again.
    if (was)
        emit vanished();
    if (isPresent())
        emit appeared();
}

}  // namespace iap
