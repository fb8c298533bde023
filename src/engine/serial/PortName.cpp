#include "serial/PortName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>

#include "serial/PortAnnouncement_posix.h"
#endif

namespace iap {

QStringList pathsForPortName(const QString& name)
{
#ifdef Q_OS_UNIX
    if (name.startsWith(u'/') || name.startsWith(QLatin1String("./")) || name.startsWith(QLatin1String("../")))
        return {QDir::cleanPath(QFileInfo(name).absoluteFilePath())};
    QStringList paths{QStringLiteral("/dev/") + name};
    if (!name.contains(u'/'))
        paths << QFile::decodeName(announcementFolder().c_str()) + u'/' + name;
    return paths;
#else
    return {name};
#endif
}

QString notAPort(const QString& name)
{
#ifdef Q_OS_UNIX
    for (const QString& path : pathsForPortName(name)) {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            continue;
        if (S_ISCHR(info.st_mode))
            return {};
        return QStringLiteral("%1 is %2, not a serial port").arg(path, S_ISDIR(info.st_mode) ? QStringLiteral("a folder") : QStringLiteral("a file"));
    }
#else
    Q_UNUSED(name);
#endif
    return {};
}

bool portPresent(const QString& name)
{
#ifdef Q_OS_UNIX
    for (const QString& path : pathsForPortName(name)) {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode))
            return true;
    }
    return false;
#else
    Q_UNUSED(name);
    return true;
#endif
}

}  // namespace iap
