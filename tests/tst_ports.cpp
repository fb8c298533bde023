// Port discovery: which ports the list offers, how it names them, in which order, which one
// first, and which port a --port names.
#include "FakeDesktop.h"
#include "Device.h"
#include "Files.h"
#include "PortList.h"
#include "Pty.h"
#include "RuntimeDir.h"
#include "Wait.h"
#include "serial/AnnouncedPorts_posix.h"
#include "serial/PortAnnouncement_posix.h"
#include "serial/PortDiscovery.h"
#include "serial/SerialPort.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace iap::test;

namespace {

iap::PortInfo adapter(const QString& name, const QString& description, const QString& maker, quint16 vid, quint16 pid, const QString& serial)
{
    iap::PortInfo port(name, "/dev/" + name);
    port.describedAs(description, maker).onUsb(vid, pid, serial);
    return port;
}

// A bench: two FTDI adapters told apart by their serial numbers, two identical CH340 adapters, a
// CDC ACM device, the built-in UART and a virtual device, as the system would list them.
iap::PortListing bench()
{
    std::vector<iap::PortInfo> ports{adapter("ttyUSB10", "FT232R USB UART", "FTDI", 0x0403, 0x6001, "A50285BI"),
                                     adapter("ttyUSB2", "FT232R USB UART", "FTDI", 0x0403, 0x6001, "A7043F2C"),
                                     adapter("ttyUSB3", "USB Serial", "", 0x1a86, 0x7523, ""), adapter("ttyUSB4", "USB Serial", "", 0x1a86, 0x7523, ""),
                                     adapter("ttyACM0", "Pico", "Raspberry Pi", 0x2e8a, 0x000a, "E6614C"), iap::PortInfo("ttyS0", "/dev/ttyS0")};
    ports[0].linkedAs("/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    iap::sortByName(ports);
    ports.emplace_back("iap-sim-5", "/run/user/1000/iap-ports/iap-sim-5");
    ports.back().announcedFor("/dev/pts/5");
    return iap::PortDiscovery(std::make_unique<FakePortSource>(ports)).list();
}

}  // namespace

class PortsTest : public QObject {
    Q_OBJECT

private slots:
    // Named as people know them, in the order they count them; the last USB, VCP or serial
    // adapter offered first, none when there is none.
    void entries()
    {
        const iap::PortListing listing = bench();
        QStringList texts;
        for (const iap::PortInfo& port : listing.ports)
            texts << iap::listedText(port);
        QCOMPARE(texts, (QStringList{"ttyACM0  Pico, Raspberry Pi, usb 2e8a:000a, E6614C", "ttyS0  serial port",
                                     "ttyUSB2  FT232R USB UART, FTDI, usb 0403:6001, A7043F2C", "ttyUSB3  USB Serial, usb 1a86:7523",
                                     "ttyUSB4  USB Serial, usb 1a86:7523", "ttyUSB10  FT232R USB UART, FTDI, usb 0403:6001, A50285BI",
                                     "iap-sim-5  VIRTUAL SERIAL -> /dev/pts/5"}));
        QVERIFY(listing.preferred);
        QCOMPARE(listing.preferred->path(), "/run/user/1000/iap-ports/iap-sim-5");
        const QStringList json = iap::cli::portListText(bench(), true).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(json.size(), 7);
        // The preferred port first, as the window preselects it, then the others in the list's order.
        QCOMPARE(json[0], QStringLiteral(R"({"byId":null,"byPath":null,"description":"","manufacturer":"","name":"iap-sim-5","path":"/run/user/1000/iap-ports/iap-sim-5","pid":null,"preferred":true,"serial":"","vid":null})"));
        QCOMPARE(json[6], QStringLiteral(R"({"byId":"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",)"
                                         R"("byPath":"/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0","description":"FT232R USB UART",)"
                                         R"("manufacturer":"FTDI","name":"ttyUSB10","path":"/dev/ttyUSB10","pid":"6001","preferred":false,)"
                                         R"("serial":"A50285BI","vid":"0403"})"));
        QCOMPARE(iap::cli::portListText(bench(), false).split(u'\n', Qt::SkipEmptyParts), QStringList{texts.last()} + texts.mid(0, 6));
        QVERIFY(!iap::PortDiscovery(std::make_unique<FakePortSource>(std::vector<iap::PortInfo>{})).list().preferred);
    }

    // A port by its name, by a path, or as the one USB adapter of an identity; anything else is
    // refused with the ports there are.
    void chosenPorts_data()
    {
        QTest::addColumn<QString>("spec");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("error");
        QTest::newRow("a virtual device by its name") << "iap-sim-5" << "/run/user/1000/iap-ports/iap-sim-5" << "";
        QTest::newRow("a socket") << "/dev/serial/by-path/pci-0-usb-0:1.2" << "/dev/serial/by-path/pci-0-usb-0:1.2" << "";
        QTest::newRow("an adapter's socket") << "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0" << "/dev/ttyUSB10" << "";
        QTest::newRow("an adapter by its by-id link") << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" << "/dev/ttyUSB10" << "";
        QTest::newRow("an adapter by its serial number") << "usb:0403:6001:A50285BI" << "/dev/ttyUSB10" << "";
        QTest::newRow("the one adapter of its kind") << "usb:2E8A:A" << "/dev/ttyACM0" << "";
        QTest::newRow("identical adapters") << "usb:1a86:7523" << "" << "--port usb:1a86:7523 matches several ports: ttyUSB3  USB Serial, usb 1a86:7523; ttyUSB4";
        QTest::newRow("no such adapter") << "usb:0403:6015" << "" << "--port usb:0403:6015 matches no port; the ports: ttyACM0";
        QTest::newRow("no identity") << "usb:0403" << "" << "--port usb:0403 is not usb:VID:PID";
    }
    void chosenPorts()
    {
        QFETCH(QString, spec);
        QFETCH(QString, path);
        QFETCH(QString, error);
        // As a station chooses: a port not plugged in yet is waited for.
        const auto chosen = iap::cli::ChosenPort::choose(spec, bench(), iap::cli::ChosenPort::Absent::Awaited);
        QCOMPARE(chosen.path(), path);
        QVERIFY2(error.isEmpty() ? chosen.error().isEmpty() : chosen.error().startsWith(error), qPrintable(chosen.error()));
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
        // A serial number with a space in it names none.
        QVERIFY(::write(locks[0], "SN9\n", 4) == 4 && ::write(locks[1], "SN 10\n", 6) == 6);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), mode_t(mode)) == 0);
        QVERIFY(!foreignOwner || ::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        QStringList listed;
        for (const iap::PortInfo& port : iap::announcedPorts(folder))
            listed << port.name() + " | " + port.path() + " | " + port.details() + " | " + port.serialNumber();
        const QStringList trusted{"sim9 | " + folder + "/sim9 | VIRTUAL SERIAL -> " + pts + " | SN9", "sim10 | " + folder + "/sim10 | VIRTUAL SERIAL -> " + pts + " | "};
        QCOMPARE(listed, mode == 0755 ? trusted : QStringList{});
    }

    // The virtual device's serial number, one per board plugged in, is the listed port's.
    void announcedSerialIsListed()
    {
        RuntimeDir runtime;
        VirtualDevice device({"--serial", "BOARD-{n}", "--replug-delay-ms", "0"});
        QVERIFY(device.start());
        const auto serials = [] {
            QStringList listed;
            for (const iap::PortInfo& port : iap::announcedPorts(QString::fromStdString(iap::announcementFolder())))
                listed << port.name() + " " + port.serialNumber();
            return listed;
        };
        const QString name = QFileInfo(device.linkPath()).fileName();
        QCOMPARE(serials(), QStringList{name + " BOARD-1"});
        QVERIFY(device.signal(SIGUSR1));
        WAIT_COMPARE(serials(), QStringList{name + " BOARD-2"}, VirtualDevice::TimeoutMs);
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
        QVERIFY(!port.open(device.linkPath(), {115200, PageBytes}));
        QVERIFY(!terminal.held());
    }
};

QTEST_GUILESS_MAIN(PortsTest)
#include "tst_ports.moc"
