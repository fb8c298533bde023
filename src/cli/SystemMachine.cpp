#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Machine.h"
#include "serial/PortSource.h"

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "serial/PortAnnouncement_posix.h"
#endif

namespace iap::cli {
namespace {

// USB vendors of the serial adapters brltty takes for braille displays: QinHeng (CH340) and
// Silicon Labs (CP210x).
const QStringList AdapterVendors{QStringLiteral("1a86"), QStringLiteral("10c4")};

class SystemMachine final : public Machine {
public:
    std::vector<PortInfo> ports() override { return makeSystemPortSource()->ports(); }

#ifdef Q_OS_UNIX
    QString userName() override
    {
        const passwd* user = getpwuid(getuid());
        return user ? QString::fromLocal8Bit(user->pw_name) : QString::number(getuid());
    }

    bool mayOpen(const QString& path) override { return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0; }

    QString ownerOf(const QString& path) override
    {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            return QString();
        const passwd* owner = getpwuid(info.st_uid);
        return owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(info.st_uid);
    }

    QString groupOf(const QString& path) override
    {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            return QString();
        const group* owner = getgrgid(info.st_gid);
        return owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
    }

    int modeOf(const QString& path) override
    {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : 0;
    }

    QString accessRule() override
    {
        // udev reads the first file of a name in this order: one in /etc masks the packaged one
        // (a link to /dev/null switches it off).
        for (const char* folder : {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
            QFile rule(QString::fromLatin1(folder) + QStringLiteral("/60-iap.rules"));
            if (!rule.exists())
                continue;
            return rule.open(QIODevice::ReadOnly) && rule.readAll().contains("TAG+=\"uaccess\"") ? rule.fileName() : QString();
        }
        return QString();
    }

    bool recordedInGroup(const QString& name) override
    {
        const group* recorded = getgrnam(QFile::encodeName(name).constData());
        const passwd* user = getpwuid(getuid());
        if (!recorded || !user)
            return false;
        if (user->pw_gid == recorded->gr_gid)
            return true;
        for (char** member = recorded->gr_mem; *member; ++member)
            if (QString::fromLocal8Bit(*member) == QString::fromLocal8Bit(user->pw_name))
                return true;
        return false;
    }

    bool sessionInGroup(const QString& name) override
    {
        const group* recorded = getgrnam(QFile::encodeName(name).constData());
        if (!recorded)
            return false;
        std::vector<gid_t> groups(std::size_t(std::max(getgroups(0, nullptr), 0)));
        // Entries it did not fill would read as group 0, root's.
        groups.resize(std::size_t(std::max(getgroups(int(groups.size()), groups.data()), 0)));
        return getegid() == recorded->gr_gid || std::find(groups.begin(), groups.end(), recorded->gr_gid) != groups.end();
    }

    QStringList brlttyRulesForSerialAdapters() override
    {
        QStringList claiming;
        for (const char* folder : {"/usr/lib/udev/rules.d", "/lib/udev/rules.d", "/etc/udev/rules.d"}) {
            for (const QFileInfo& rules : QDir(QString::fromLatin1(folder)).entryInfoList({QStringLiteral("*brltty*")}, QDir::Files)) {
                QFile file(rules.filePath());
                const QString text = file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).toLower() : QString();
                if (std::any_of(AdapterVendors.begin(), AdapterVendors.end(), [&text](const QString& vendor) { return text.contains(vendor); })
                    && !claiming.contains(rules.canonicalFilePath()))
                    claiming << rules.canonicalFilePath();
            }
        }
        return claiming;
    }

    bool modemManagerRunning() override
    {
        for (const QString& process : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile name(QStringLiteral("/proc/%1/comm").arg(process));
            if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "ModemManager")
                return true;
        }
        return false;
    }

    bool soundDevicePresent() override { return !QDir(QStringLiteral("/dev/snd")).entryList({QStringLiteral("pcmC*p")}, QDir::System).isEmpty(); }

    QString latencyTimerFile(const PortInfo& port) override
    {
        const QString device = QFileInfo(QFileInfo(port.path()).canonicalFilePath()).fileName();
        const QString file = QStringLiteral("/sys/class/tty/%1/device/latency_timer").arg(device);
        return !device.isEmpty() && QFileInfo::exists(file) ? file : QString();
    }

    int latencyTimerMs(const QString& file) override
    {
        QFile timer(file);
        return timer.open(QIODevice::ReadOnly) ? timer.readAll().trimmed().toInt() : 0;
    }

    QString announcementFolder() override
    {
        const QString folder = QFile::decodeName(iap::announcementFolder().c_str());
        return QFileInfo::exists(folder) ? folder : QString();
    }

    bool announcementFolderPrivate() override { return announcementFolderTrusted(iap::announcementFolder()); }
#else
    // Windows lets every user open the ports it lists; no daemon takes them.
    QString userName() override { return qEnvironmentVariable("USERNAME"); }
    bool mayOpen(const QString&) override { return true; }
    QString ownerOf(const QString&) override { return QString(); }
    QString groupOf(const QString&) override { return QString(); }
    int modeOf(const QString&) override { return 0666; }
    QString accessRule() override { return QString(); }
    bool recordedInGroup(const QString&) override { return true; }
    bool sessionInGroup(const QString&) override { return true; }
    QStringList brlttyRulesForSerialAdapters() override { return {}; }
    bool modemManagerRunning() override { return false; }
    QString latencyTimerFile(const PortInfo&) override { return QString(); }
    int latencyTimerMs(const QString&) override { return 0; }
    bool soundDevicePresent() override { return true; }
    QString announcementFolder() override { return QString(); }
    bool announcementFolderPrivate() override { return true; }
#endif
};

}  // namespace

std::unique_ptr<Machine> makeSystemMachine()
{
    return std::make_unique<SystemMachine>();
}

}  // namespace iap::cli
