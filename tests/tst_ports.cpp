// Port discovery: which ports the list offers, in which order, and which one first.
#include "FakeDesktop.h"
#include "Device.h"
#include "Files.h"
#include "Pty.h"
#include "RuntimeDir.h"
#include "Wait.h"
#include "serial/PortAnnouncement_posix.h"
#include "serial/SerialPort.h"
#include "serial/PortDiscovery.h"
#include "serial/PortSource_linux.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace iap::test;
using Values = std::vector<iap::PortValue>;

namespace {

// Adds a tty to a tree shaped like sysfs, its links relative as there: class/tty/<tty> leads to the
// tty's folder under devices/, its `device` to the device, whose `driver` and `subsystem` lead to
// bus/<bus>/drivers/<driver> and bus/<bus>. Without a driver, a tty with no device behind it, like
// a virtual console; type is serial-core's port type, where the driver gives one (0: no UART).
bool addTty(const QDir& sysfs, const QString& tty, const QString& device, const QString& bus = {}, const QString& driver = {},
            int type = -1)
{
    const auto link = [](const QString& target, const QString& at) { return QFile::link(QFileInfo(at).dir().relativeFilePath(target), at); };
    const QString devicePath = sysfs.filePath("devices/" + device), driverPath = sysfs.filePath("bus/" + bus + "/drivers/" + driver);
    const QString ttyDir = driver.isEmpty() ? devicePath : devicePath + "/tty/" + tty;
    return sysfs.mkpath(ttyDir) && sysfs.mkpath("class/tty") && link(ttyDir, sysfs.filePath("class/tty/" + tty))
        && (driver.isEmpty()
            || (sysfs.mkpath(driverPath) && link(driverPath + "/../..", devicePath + "/subsystem") && link(driverPath, devicePath + "/driver")
                && link(devicePath, ttyDir + "/device") && (type < 0 || writeFile(ttyDir + "/type", QByteArray::number(type)))));
}

QStringList listed(const Values& ports)
{
    QStringList names;
    for (const iap::PortValue& port : ports)
        names << port.portName() + " | " + port.deviceName();
    return names;
}

}  // namespace

class PortsTest : public QObject {
    Q_OBJECT

private slots:
    void registryEntries()
    {
        const auto entries = [](const Values& values) {
            QStringList texts;
            for (const iap::PortEntry& entry : iap::PortDiscovery(std::make_unique<FakePortSource>(values, iap::PortNameRules::Registry)).enumerate())
                texts << entry.text();
            return texts;
        };
        // The last USB, VCP or SER port comes first as well.
        QCOMPARE(entries({{"\\Device\\VCP0", "COM5"}, {"\\Device\\Serial0", "COM1"}, {"\\Device\\BthModem0", "COM7"}}),
                 (QStringList{"COM1  \\DEVICE\\SERIAL0", "COM5  \\DEVICE\\VCP0", "COM1  \\DEVICE\\SERIAL0", "COM7  \\DEVICE\\BTHMODEM0"}));
        QCOMPARE(entries({{"\\Device\\BthModem0", "COM7"}}), (QStringList{"", "COM7  \\DEVICE\\BTHMODEM0"}));
        QCOMPARE(entries({{"\\Device\\usbmodem0", "com4"}}), (QStringList{"COM4  \\DEVICE\\USBMODEM0", "COM4  \\DEVICE\\USBMODEM0"}));
        QCOMPARE(entries({{"\\Device\\USBModem0", "\\Device\\Modem0"}}), QStringList{""});
        QCOMPARE(entries({}), QStringList{""});
    }

    void sysfsPorts()
    {
        QTemporaryDir dir;
        const QDir sysfs(dir.path());
        QVERIFY(addTty(sysfs, "ttyUSB0", "pci0/usb1/1-1:1.0/ttyUSB0", "usb-serial", "ftdi_sio"));
        QVERIFY(addTty(sysfs, "ttyACM0", "pci0/usb1/1-2:1.0", "usb", "cdc_acm") && addTty(sysfs, "tty1", "virtual/tty/tty1"));
        QVERIFY(addTty(sysfs, "ttyS10", "pnp0/00:01", "serial-base", "port", 4) && addTty(sysfs, "ttyS2", "pnp0/00:00", "serial-base", "port", 4));
        QVERIFY(addTty(sysfs, "ttyS3", "platform/serial8250:0.3", "serial-base", "port", 0));
        const auto device = [&](const char* path) { return QFileInfo(sysfs.filePath("devices/") + path).canonicalFilePath(); };
        QCOMPARE(listed(iap::LinuxPortSource(sysfs.filePath("class/tty"), dir.filePath("no-announcements")).values()),
                 (QStringList{"ttyACM0 | usb/cdc_acm " + device("pci0/usb1/1-2:1.0"), "ttyS2 | serial-base/port " + device("pnp0/00:00"),
                              "ttyS10 | serial-base/port " + device("pnp0/00:01"),
                              "ttyUSB0 | usb-serial/ftdi_sio " + device("pci0/usb1/1-1:1.0/ttyUSB0")}));
    }

    // Anyone who can write into the announcement folder could plant a port there; a link whose
    // lock nobody holds was left by a device that died.
    void announcedPorts_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("foreignOwner");
        QTest::newRow("own, only the owner writes") << 0755 << false;
        QTest::newRow("writable by the group") << 0770 << false;
        QTest::newRow("writable by others") << 0703 << false;
        QTest::newRow("another user's") << 0700 << true;
    }
    void announcedPorts()
    {
        QFETCH(int, mode);
        QFETCH(bool, foreignOwner);
        if (foreignOwner && geteuid() != 0)
            QSKIP("only root can give the folder to another user");
        QTemporaryDir dir;
        const QString folder = dir.filePath("iap-ports"), pts = dir.filePath("pts");
        QVERIFY(QDir().mkdir(folder) && writeFile(pts, {}) && writeFile(folder + "/plain", {}));
        QVERIFY(QFile::link(pts, folder + "/sim10") && QFile::link(pts, folder + "/sim9") && QFile::link(dir.filePath("gone"), folder + "/gone"));
        QVERIFY(QFile::link(pts, folder + "/dead") && writeFile(folder + "/dead.lock", {}));
        std::vector<int> locks;
        const auto closeLocks = qScopeGuard([&locks] { std::for_each(locks.begin(), locks.end(), ::close); });
        for (const char* name : {"/sim9.lock", "/sim10.lock", "/gone.lock"}) {
            locks.push_back(::open(QFile::encodeName(folder + name).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
            QVERIFY(flock(locks.back(), LOCK_EX | LOCK_NB) == 0);
        }
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), mode_t(mode)) == 0);
        QVERIFY(!foreignOwner || ::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        const QStringList trusted{folder + "/sim9 | VIRTUAL SERIAL -> " + pts, folder + "/sim10 | VIRTUAL SERIAL -> " + pts};
        QCOMPARE(listed(iap::LinuxPortSource(dir.filePath("no-sysfs"), folder).values()), mode == 0755 ? trusted : QStringList{});
    }

    // A device killed outright leaves its link behind, and a terminal opened later may get the
    // number the link names: the lock the device held is free, so nothing opens the link.
    void deadDevicesLinkIsNotOpened()
    {
        RuntimeDir runtime;
        VirtualDevice device;
        QVERIFY(device.start());
        const std::string link = QFile::encodeName(device.linkPath()).toStdString();
        QVERIFY(iap::announcedDeviceAlive(link));
        QVERIFY(device.signal(SIGKILL));
        QVERIFY(waitUntil([&] { return !iap::announcedDeviceAlive(link); }, VirtualDevice::TimeoutMs));
        Pty terminal;
        QVERIFY(QFile::remove(device.linkPath()) && QFile::link(terminal.path(), device.linkPath()));
        iap::SerialPort port(nullptr);
        QVERIFY(!port.open(device.linkPath(), 115200));
        QVERIFY(!terminal.held());
    }
};

QTEST_GUILESS_MAIN(PortsTest)
#include "tst_ports.moc"
