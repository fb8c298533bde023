#include "serial/PortPresence.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSerialPortInfo>
#else
#include <sys/stat.h>

#include "serial/PortAnnouncement_posix.h"
#endif

namespace iap {
namespace {

// Which file the port is: the kernel makes a device node anew when an adapter comes back, while
// udev may make its links again (a change event) and change its owner and mode without a new
// board; a virtual device makes its link anew for each board, which a file system may give the
// number of the link removed just before, so a link is also told by the instant it was made.
PortPresence::File fileAt(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return {};
#else
    const QByteArray local = QFile::encodeName(path);
    struct stat info {};
    if (isAnnouncement(local.toStdString())) {
        if (::lstat(local.constData(), &info) != 0)
            return {};
        return {quint64(info.st_ino), qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
    }
    return path.isEmpty() || ::stat(local.constData(), &info) != 0 ? PortPresence::File{} : PortPresence::File{quint64(info.st_ino), 0};
#endif
}

}  // namespace

PortPresence::PortPresence(QStringList watched, QObject* parent) : QObject(parent), paths(std::move(watched))
{
    Q_ASSERT(!paths.isEmpty());
    presentPath = lookedUp();
    presentFile = fileAt(presentPath);
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
    const File file = fileAt(now);
    if (now == presentPath && file == presentFile)
        return;
    const bool was = isPresent();
    presentPath = now;
    presentFile = file;
    // A port that moved from one path to another, or was made again, was taken out and put in again.
    if (was)
        emit vanished();
    if (isPresent())
        emit appeared();
}

}  // namespace iap
