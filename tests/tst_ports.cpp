// Port discovery: which ports the list offers, in which order, and which one first.
#include "Desktop.h"
#include "Files.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "serial/PortDiscovery.h"
#include "serial/PortSource_linux.h"

using namespace iap::tst;
using iap::PortValue;

Q_DECLARE_METATYPE(std::vector<PortValue>)

namespace {

// A throw-away tree shaped like the tty part of sysfs, its links relative as there:
// class/tty/<tty> leads to the tty's folder under devices/, whose `device` link leads to the
// device, whose `driver` and `subsystem` links lead to bus/<bus>/drivers/<driver> and bus/<bus>.
class FakeSysfs {
public:
    QString ttyClass() const { return root.filePath(QStringLiteral("class/tty")); }
    QString device(const QString& path) const { return QFileInfo(root.filePath("devices/" + path)).canonicalFilePath(); }

    // type: serial-core's port type, where the driver gives one (0: no UART behind the port).
    bool addPort(const QString& tty, const QString& path, const QString& bus, const QString& driver, int type = -1)
    {
        const QString device = root.filePath("devices/" + path);
        const QString ttyDir = device + "/tty/" + tty;
        const QString busDir = root.filePath("bus/" + bus);
        return addTty(tty, path + "/tty/" + tty) && QDir().mkpath(busDir + "/drivers/" + driver) && link(busDir, device + "/subsystem")
            && link(busDir + "/drivers/" + driver, device + "/driver") && link(device, ttyDir + "/device")
            && (type < 0 || writeFile(ttyDir + "/type", QByteArray::number(type)));
    }
    // Alone, a tty with no device behind it, like a virtual console.
    bool addTty(const QString& tty, const QString& path)
    {
        const QString ttyDir = root.filePath("devices/" + path);
        return QDir().mkpath(ttyDir) && QDir().mkpath(ttyClass()) && link(ttyDir, ttyClass() + u'/' + tty);
    }

private:
    static bool link(const QString& target, const QString& at) { return QFile::link(QFileInfo(at).dir().relativeFilePath(target), at); }
    QTemporaryDir root;
};

QStringList listed(const std::vector<PortValue>& ports)
{
    QStringList names;
    for (const PortValue& port : ports)
        names << port.portName + " | " + port.deviceName;
    return names;
}

}  // namespace

class PortsTest : public QObject {
    Q_OBJECT

private slots:
    void registryEntries_data()
    {
        QTest::addColumn<std::vector<PortValue>>("values");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("the last USB, VCP or SER port first")
            << std::vector<PortValue>{{"\\Device\\Serial0", "COM1"}, {"\\Device\\VCP0", "COM5"}, {"\\Device\\BthModem0", "COM7"}}
            << QStringList{"COM5  \\DEVICE\\VCP0", "COM1  \\DEVICE\\SERIAL0", "COM5  \\DEVICE\\VCP0", "COM7  \\DEVICE\\BTHMODEM0"};
        QTest::newRow("none preferred") << std::vector<PortValue>{{"\\Device\\BthModem0", "COM7"}}
                                        << QStringList{"", "COM7  \\DEVICE\\BTHMODEM0"};
        QTest::newRow("upper-cased") << std::vector<PortValue>{{"\\Device\\usbser000", "com4"}}
                                     << QStringList{"COM4  \\DEVICE\\USBSER000", "COM4  \\DEVICE\\USBSER000"};
        QTest::newRow("no COM, not a port") << std::vector<PortValue>{{"\\Device\\USBModem0", "\\Device\\Modem0"}}
                                            << QStringList{""};
        QTest::newRow("no ports") << std::vector<PortValue>{} << QStringList{""};
    }
    void registryEntries()
    {
        QFETCH(std::vector<PortValue>, values);
        QFETCH(QStringList, entries);
        iap::PortDiscovery discovery(std::make_unique<FakePortSource>(values, iap::PortNameRules::Registry));
        QComboBox COMID;
        COMID.addItems({"stale", "choice"});
        COMID.setCurrentIndex(1);
        discovery.ListPorts(COMID);
        QStringList items;
        for (int i = 0; i < COMID.count(); ++i)
            items << COMID.itemText(i);
        QCOMPARE(items, entries);
        QCOMPARE(COMID.currentIndex(), 0);
    }

    void sysfsPorts()
    {
        FakeSysfs sysfs;
        QVERIFY(sysfs.addPort("ttyUSB0", "pci0/usb1/1-1:1.0/ttyUSB0", "usb-serial", "ftdi_sio"));
        QVERIFY(sysfs.addPort("ttyS10", "pnp0/00:01", "serial-base", "port", 4));
        QVERIFY(sysfs.addPort("ttyS2", "pnp0/00:00", "serial-base", "port", 4));
        QVERIFY(sysfs.addPort("ttyS3", "platform/serial8250:0.3", "serial-base", "port", 0));
        QVERIFY(sysfs.addPort("ttyACM0", "pci0/usb1/1-2:1.0", "usb", "cdc_acm"));
        QVERIFY(sysfs.addTty("tty1", "virtual/tty/tty1"));
        iap::LinuxPortSource source(sysfs.ttyClass(), sysfs.ttyClass() + "/no-announcements");
        QCOMPARE(listed(source.values()), (QStringList{"ttyACM0 | usb/cdc_acm " + sysfs.device("pci0/usb1/1-2:1.0"),
                                                       "ttyS2 | serial-base/port " + sysfs.device("pnp0/00:00"),
                                                       "ttyS10 | serial-base/port " + sysfs.device("pnp0/00:01"),
                                                       "ttyUSB0 | usb-serial/ftdi_sio " + sysfs.device("pci0/usb1/1-1:1.0/ttyUSB0")}));
    }

    // Anyone who can write into the announcement folder could plant a port there.
    void announcedPorts_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("foreignOwner");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("own, closed") << 0700 << false << true;
        QTest::newRow("own, readable by all") << 0755 << false << true;
        QTest::newRow("writable by the group") << 0770 << false << false;
        QTest::newRow("writable by others") << 0703 << false << false;
        QTest::newRow("another user's") << 0700 << true << false;
    }
    void announcedPorts()
    {
        QFETCH(int, mode);
        QFETCH(bool, foreignOwner);
        QFETCH(bool, trusted);
        if (foreignOwner && geteuid() != 0)
            QSKIP("only root can give the folder to another user");
        QTemporaryDir dir;
        const QString folder = dir.filePath("iap-ports");
        const QString pts = dir.filePath("pts");
        QVERIFY(QDir().mkdir(folder) && writeFile(pts, {}) && writeFile(folder + "/plain", {}));
        for (const char* name : {"sim10", "sim9"})
            QVERIFY(QFile::link(pts, folder + '/' + name));
        QVERIFY(QFile::link(dir.filePath("gone"), folder + "/gone"));
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(mode)), 0);
        if (foreignOwner)
            QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);

        const QStringList expected{folder + "/sim9 | VIRTUAL SERIAL -> " + pts, folder + "/sim10 | VIRTUAL SERIAL -> " + pts};
        QCOMPARE(listed(iap::LinuxPortSource(dir.filePath("no-sysfs"), folder).values()), trusted ? expected : QStringList());
    }
};

QTEST_MAIN(PortsTest)
#include "tst_ports.moc"
