#include "serial/PortPresence.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSerialPortInfo>
#else
#include "serial/PortAnnouncement_posix.h"
#endif

namespace iap {

PortPresence::PortPresence(QString watched, QObject* parent) : QObject(parent), path(std::move(watched)), present(isPresent(path))
{
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

void PortPresence::look()
{
    const bool now = isPresent(path);
    if (now == present)
        return;
    present = now;
    if (present)
        emit appeared();
    else
        emit vanished();
}

}  // namespace iap
