#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include "FakeSysfs.h"
#include "PrivateRuntimeDir.h"
#include "serial/PortAnnouncement_posix.h"
#include "serial/PortDiscovery.h"
#include "serial/PortSource_linux.h"

using iap::LinuxPortSource;
using iap::PortDiscovery;
using iap::PortValue;

namespace {

const QString UsbAdapter = QStringLiteral("pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0");
const QString AcmModem = QStringLiteral("pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0");
const QString OnBoardUart = QStringLiteral("pnp0/00:00/00:00:0/00:00:0.0");

QStringList portNames(const std::vector<PortValue>& ports)
{
    QStringList names;
    for (const PortValue& port : ports)
        names << port.portName;
    return names;
}

QString deviceNameOf(const std::vector<PortValue>& ports, const QString& portName)
{
    const auto found = std::find_if(ports.begin(), ports.end(),
                                    [&](const PortValue& port) { return port.portName == portName; });
    return found == ports.end() ? QString() : found->deviceName;
}

// A folder for virtual-device announcements, closed to group and others like the real one.
class AnnouncementFolder {
public:
    AnnouncementFolder()
    {
        QDir(dir.path()).mkdir(QStringLiteral("iap-ports"));
        setMode(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString path() const { return dir.filePath(QStringLiteral("iap-ports")); }
    QString linkPath(const QString& name) const { return path() + u'/' + name; }
    // A file standing for a pseudo-terminal, outside the folder.
    QString makeTarget(const QString& name) const
    {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        return file.fileName();
    }
    bool announce(const QString& name, const QString& target) const { return QFile::link(target, linkPath(name)); }
    bool setMode(QFileDevice::Permissions mode) const { return QFile::setPermissions(path(), mode); }

private:
    QTemporaryDir dir;
};

}  // namespace

class TestDiscoveryLinux : public QObject {
    Q_OBJECT

    std::unique_ptr<iap::test::FakeSysfs> sysfs;

private slots:
    void init()
    {
        sysfs = std::make_unique<iap::test::FakeSysfs>();
        QVERIFY(sysfs->isValid());
        QVERIFY(sysfs->addPort("ttyUSB0", UsbAdapter, "usb-serial", "ftdi_sio"));
        QVERIFY(sysfs->addPort("ttyACM0", AcmModem, "usb", "cdc_acm"));
        QVERIFY(sysfs->addPort("ttyS0", OnBoardUart, "serial-base", "port"));
        QVERIFY(sysfs->setPortType("ttyS0", 4));
        for (int i = 1; i <= 3; ++i) {
            const QString tty = QStringLiteral("ttyS%1").arg(i);
            QVERIFY(sysfs->addPort(tty, "platform/serial8250/serial8250:0/serial8250:0." + QString::number(i),
                                   "serial-base", "port"));
            QVERIFY(sysfs->setPortType(tty, 0));
        }
        QVERIFY(sysfs->addPort("ttyS4", "platform/serial8250/serial8250:0/serial8250:0.4", "serial-base", "port"));
        QVERIFY(sysfs->setPortType("ttyS4", 4));
        QVERIFY(sysfs->addPort("ttyS10", "pnp0/00:01/00:01:0/00:01:0.0", "serial-base", "port"));
        QVERIFY(sysfs->setPortType("ttyS10", 4));
        QVERIFY(sysfs->addUnboundPort("ttyUSB1", "pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/ttyUSB1", "usb-serial"));
        QVERIFY(sysfs->addVirtualTty("tty1"));
        QVERIFY(sysfs->addVirtualTty("console"));
    }

    // Bound ports only, in natural order, each named by its bus, driver and device path; with no
    // virtual device the USB adapter is preferred.
    void listsBoundSerialPorts()
    {
        AnnouncementFolder none;
        LinuxPortSource source(sysfs->ttyClassRoot(), none.path());
        QCOMPARE(source.nameRules(), iap::PortNameRules::Verbatim);
        const std::vector<PortValue> ports = source.values();
        QCOMPARE(portNames(ports), (QStringList{"ttyACM0", "ttyS0", "ttyS4", "ttyS10", "ttyUSB0"}));
        QVERIFY(!sysfs->devicePath(UsbAdapter).isEmpty());
        QCOMPARE(deviceNameOf(ports, "ttyUSB0"), "usb-serial/ftdi_sio " + sysfs->devicePath(UsbAdapter));
        QCOMPARE(deviceNameOf(ports, "ttyACM0"), "usb/cdc_acm " + sysfs->devicePath(AcmModem));
        QCOMPARE(deviceNameOf(ports, "ttyS0"), "serial-base/port " + sysfs->devicePath(OnBoardUart));

        PortDiscovery discovery(std::make_unique<LinuxPortSource>(sysfs->ttyClassRoot(), none.path()));
        const QStringList entries = discovery.EnumSerialPorts();
        QCOMPARE(entries.size(), 6);
        QCOMPARE(entries[0], "ttyUSB0  usb-serial/ftdi_sio " + sysfs->devicePath(UsbAdapter));
    }

    void lowerCaseBusAndDriverNamesQualifyAsPreferred()
    {
        // Unlike ttyUSB0's device path, these name "usb" and "ser" only in lower case.
        iap::test::FakeSysfs small;
        AnnouncementFolder none;
        PortDiscovery discovery(std::make_unique<LinuxPortSource>(small.ttyClassRoot(), none.path()));
        QVERIFY(small.addPort("ttyACM0", AcmModem, "usb", "cdc_acm"));
        QCOMPARE(iap::portNameOfEntry(discovery.EnumSerialPorts().at(0)), "ttyACM0");

        QVERIFY(small.addPort("ttyS0", OnBoardUart, "serial-base", "port"));
        QVERIFY(small.setPortType("ttyS0", 4));
        QCOMPARE(iap::portNameOfEntry(discovery.EnumSerialPorts().at(0)), "ttyS0");
    }

    void announcedVirtualDevicesFollowAndArePreferred()
    {
        AnnouncementFolder folder;
        const QString pts = folder.makeTarget("pts5");
        QVERIFY(folder.announce("sim b", pts));
        QVERIFY(folder.announce("sim10", pts));
        QVERIFY(folder.announce("sim9", pts));
        QVERIFY(folder.announce("gone", folder.path() + "/../no-such-pts"));
        QFile plain(folder.linkPath("plain-file"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();

        PortDiscovery discovery(std::make_unique<LinuxPortSource>(sysfs->ttyClassRoot(), folder.path()));
        const QStringList entries = discovery.EnumSerialPorts();

        QStringList ports;
        for (const QString& entry : entries.mid(1))
            ports << iap::portNameOfEntry(entry);
        QCOMPARE(ports, (QStringList{"ttyACM0", "ttyS0", "ttyS4", "ttyS10", "ttyUSB0", folder.linkPath("sim b"),
                                     folder.linkPath("sim9"), folder.linkPath("sim10")}));
        QCOMPARE(entries.last(), folder.linkPath("sim10") + "  VIRTUAL SERIAL -> " + pts);
        QCOMPARE(entries[0], entries.last());
    }

    void untrustedOrMissingAnnouncementFolderIsIgnored()
    {
        AnnouncementFolder folder;
        QVERIFY(folder.announce("sim", folder.makeTarget("pts5")));
        QVERIFY(folder.setMode(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                               | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                               | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther));
        const QStringList sysfsOnly{"ttyACM0", "ttyS0", "ttyS4", "ttyS10", "ttyUSB0"};

        QCOMPARE(portNames(LinuxPortSource(sysfs->ttyClassRoot(), folder.path()).values()), sysfsOnly);

        QVERIFY(folder.setMode(QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::WriteOther
                               | QFileDevice::ExeOther));
        QCOMPARE(portNames(LinuxPortSource(sysfs->ttyClassRoot(), folder.path()).values()), sysfsOnly);

        QCOMPARE(portNames(LinuxPortSource(sysfs->ttyClassRoot(), folder.path() + "-missing").values()), sysfsOnly);
    }

    void missingTtyClassListsOnlyVirtualDevices()
    {
        AnnouncementFolder folder;
        QVERIFY(folder.announce("sim", folder.makeTarget("pts5")));
        PortDiscovery discovery(std::make_unique<LinuxPortSource>(sysfs->ttyClassRoot() + "-missing", folder.path()));
        const QStringList entries = discovery.EnumSerialPorts();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(iap::portNameOfEntry(entries[1]), folder.linkPath("sim"));

        PortDiscovery nothing(
            std::make_unique<LinuxPortSource>(sysfs->ttyClassRoot() + "-missing", folder.path() + "-missing"));
        QCOMPARE(nothing.EnumSerialPorts(), QStringList{""});
    }

    void systemSourceReadsTheUsersAnnouncementFolder()
    {
        iap::test::PrivateRuntimeDir runtimeDir;
        const QString folder = QFile::decodeName(iap::announcementFolder().c_str());
        QVERIFY(iap::ensureAnnouncementFolder(QFile::encodeName(folder).toStdString()));
        const QString link = folder + "/sim";
        QVERIFY(QFile::link(runtimeDir.path(), link));

        const std::vector<PortValue> ports = iap::makeSystemPortSource()->values();
        QVERIFY(!ports.empty());
        QCOMPARE(ports.back().portName, link);
        for (const PortValue& port : ports) {
            QVERIFY(!port.portName.isEmpty());
            QVERIFY(!port.portName.contains("  "));
        }
    }
};

QTEST_GUILESS_MAIN(TestDiscoveryLinux)
#include "tst_discovery_linux.moc"
