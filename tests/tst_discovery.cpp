// Port discovery on a fake source: the registry's filtering, the entry format and the preferred
// entry, Linux names, and the port list in the window's drop-down.
#include "FakePlatform.h"

#include <QComboBox>
#include <QtTest>

#include "serial/PortDiscovery.h"

using iap::PortDiscovery;
using iap::PortNameRules;
using iap::PortValue;
using iap::test::FakePortSource;

namespace {

struct Discovery {
    explicit Discovery(PortNameRules rules, std::vector<PortValue> ports = {})
        : source(new FakePortSource(std::move(ports), rules)), discovery(std::unique_ptr<FakePortSource>(source))
    {
    }
    FakePortSource* source;
    PortDiscovery discovery;
};

QStringList itemsOf(const QComboBox& box)
{
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<PortValue>)

class TestDiscovery : public QObject {
    Q_OBJECT

private slots:
    void registryValues_data()
    {
        QTest::addColumn<std::vector<PortValue>>("values");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("serial then VCP: the VCP is preferred")
            << std::vector<PortValue>{{"\\Device\\Serial0", "COM1"}, {"\\Device\\VCP0", "COM5"}}
            << QStringList{"COM5  \\DEVICE\\VCP0", "COM1  \\DEVICE\\SERIAL0", "COM5  \\DEVICE\\VCP0"};
        QTest::newRow("bluetooth modem only: nothing preferred")
            << std::vector<PortValue>{{"\\Device\\BthModem0", "COM7"}} << QStringList{"", "COM7  \\DEVICE\\BTHMODEM0"};
        QTest::newRow("lower-case port name accepted and upper-cased")
            << std::vector<PortValue>{{"\\Device\\usbser000", "com4"}}
            << QStringList{"COM4  \\DEVICE\\USBSER000", "COM4  \\DEVICE\\USBSER000"};
        QTest::newRow("value without COM skipped, even from a USB device")
            << std::vector<PortValue>{{"\\Device\\Serial0", "COM1"}, {"\\Device\\USBModem0", "\\Device\\Modem0"}}
            << QStringList{"COM1  \\DEVICE\\SERIAL0", "COM1  \\DEVICE\\SERIAL0"};
        QTest::newRow("no values") << std::vector<PortValue>{} << QStringList{""};
        QTest::newRow("two-digit port listed in full")
            << std::vector<PortValue>{{"\\Device\\Serial11", "COM12"}}
            << QStringList{"COM12  \\DEVICE\\SERIAL11", "COM12  \\DEVICE\\SERIAL11"};
        QTest::newRow("the last qualifying port is preferred, not the last port")
            << std::vector<PortValue>{{"\\Device\\USBSER000", "COM3"}, {"\\Device\\Serial1", "COM2"},
                                      {"\\Device\\BthModem0", "COM7"}}
            << QStringList{"COM2  \\DEVICE\\SERIAL1", "COM3  \\DEVICE\\USBSER000", "COM2  \\DEVICE\\SERIAL1",
                           "COM7  \\DEVICE\\BTHMODEM0"};
        QTest::newRow("duplicates kept in enumeration order")
            << std::vector<PortValue>{{"\\Device\\BthModem1", "COM9"}, {"\\Device\\BthModem0", "COM8"},
                                      {"\\Device\\BthModem1", "COM9"}}
            << QStringList{"", "COM9  \\DEVICE\\BTHMODEM1", "COM8  \\DEVICE\\BTHMODEM0", "COM9  \\DEVICE\\BTHMODEM1"};
    }

    void registryValues()
    {
        QFETCH(std::vector<PortValue>, values);
        QFETCH(QStringList, entries);
        Discovery d(PortNameRules::Registry, values);
        QCOMPARE(d.discovery.EnumSerialPorts(), entries);
        QCOMPARE(d.discovery.PortEntries, entries);
    }

    void linuxNamesKeepCaseAndNeedNoCom()
    {
        Discovery d(PortNameRules::Verbatim, {{"serial-base/port /sys/devices/pnp0/00:00:0.0", "ttyS0"},
                                              {"usb-serial/ftdi_sio /sys/devices/usb1/1-1:1.0/ttyUSB0", "ttyUSB0"},
                                              {"usb/cdc_acm /sys/devices/usb1/1-2:1.0", "ttyACM0"},
                                              {"platform/vt8500 /sys/devices/platform/uart", "ttyWMT0"}});
        QCOMPARE(d.discovery.EnumSerialPorts(), (QStringList{"ttyACM0  usb/cdc_acm /sys/devices/usb1/1-2:1.0",
                                                             "ttyS0  serial-base/port /sys/devices/pnp0/00:00:0.0",
                                                             "ttyUSB0  usb-serial/ftdi_sio /sys/devices/usb1/1-1:1.0/ttyUSB0",
                                                             "ttyACM0  usb/cdc_acm /sys/devices/usb1/1-2:1.0",
                                                             "ttyWMT0  platform/vt8500 /sys/devices/platform/uart"}));
    }

    void portNameOfEntry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("portName");
        QTest::newRow("two-digit port") << "COM12  \\DEVICE\\SERIAL11" << "COM12";
        QTest::newRow("linux tty") << "ttyUSB0  usb-serial/ftdi_sio /sys/devices/x" << "ttyUSB0";
        QTest::newRow("path with a single space")
            << "/run/user/0/iap-ports/my dev  VIRTUAL SERIAL -> /dev/pts/5" << "/run/user/0/iap-ports/my dev";
        QTest::newRow("no device name") << "ttyS0" << "ttyS0";
        QTest::newRow("empty entry") << "" << "";
    }

    void portNameOfEntry()
    {
        QFETCH(QString, entry);
        QFETCH(QString, portName);
        QCOMPARE(iap::portNameOfEntry(entry), portName);
    }

    // The user's choice does not survive a refresh, and vanished ports leave the list; a source
    // that fails or is missing gives one empty item.
    void listPortsFillsTheBoxAndSelectsItemZero()
    {
        Discovery d(PortNameRules::Registry, {{"\\Device\\Serial0", "COM1"}, {"\\Device\\VCP0", "COM5"}});
        QComboBox COMID;
        COMID.addItems({"stale one", "stale two", "stale three"});
        COMID.setCurrentIndex(2);
        d.discovery.ListPorts(COMID);
        QCOMPARE(itemsOf(COMID), (QStringList{"COM5  \\DEVICE\\VCP0", "COM1  \\DEVICE\\SERIAL0", "COM5  \\DEVICE\\VCP0"}));
        QCOMPARE(COMID.currentIndex(), 0);

        COMID.setCurrentIndex(1);
        d.source->ports = {{"\\Device\\BthModem0", "COM7"}};
        d.discovery.ListPorts(COMID);
        QCOMPARE(itemsOf(COMID), (QStringList{"", "COM7  \\DEVICE\\BTHMODEM0"}));
        QCOMPARE(COMID.currentIndex(), 0);

        d.source->fails = true;
        d.discovery.ListPorts(COMID);
        QCOMPARE(itemsOf(COMID), QStringList{""});
        QCOMPARE(COMID.currentIndex(), 0);
        QCOMPARE(d.discovery.PortEntries, QStringList{""});

        PortDiscovery noSource(nullptr);
        noSource.ListPorts(COMID);
        QCOMPARE(itemsOf(COMID), QStringList{""});
    }
};

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
