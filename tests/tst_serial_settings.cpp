#include "serial/LineSettings.h"
#include "serial/PortDeviceName.h"

#include <QtTest>

using iap::LineSettings;
using iap::Parity;
using iap::parseLineSettings;

Q_DECLARE_METATYPE(std::optional<LineSettings>)

class SerialSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void settingsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<LineSettings>>("expected");
        const auto accepted = [](int baud, Parity parity, int dataBits, int stopBits) {
            return std::optional<LineSettings>(LineSettings{baud, parity, dataBits, stopBits});
        };
        const std::optional<LineSettings> rejected;

        QTest::newRow("HX300") << "115200,n,8,1" << accepted(115200, Parity::None, 8, 1);
        QTest::newRow("VR200") << "38400,n,8,1" << accepted(38400, Parity::None, 8, 1);
        QTest::newRow("upper case parity") << "9600,N,8,1" << accepted(9600, Parity::None, 8, 1);
        QTest::newRow("even, 7 bits, 2 stop") << "19200,e,7,2" << accepted(19200, Parity::Even, 7, 2);
        QTest::newRow("odd, 5 bits") << "921600,O,5,1" << accepted(921600, Parity::Odd, 5, 1);
        QTest::newRow("spaces around fields") << " 115200 , n , 8 , 1 " << accepted(115200, Parity::None, 8, 1);

        QTest::newRow("empty") << "" << rejected;
        QTest::newRow("junk") << "junk" << rejected;
        QTest::newRow("three fields") << "115200,n,8" << rejected;
        QTest::newRow("five fields") << "115200,n,8,1,x" << rejected;
        QTest::newRow("trailing comma") << "115200,n,8,1," << rejected;
        QTest::newRow("empty baud") << ",n,8,1" << rejected;
        QTest::newRow("zero baud") << "0,n,8,1" << rejected;
        QTest::newRow("negative baud") << "-9600,n,8,1" << rejected;
        QTest::newRow("baud with letters") << "115200x,n,8,1" << rejected;
        QTest::newRow("baud beyond int") << "99999999999,n,8,1" << rejected;
        QTest::newRow("mark parity") << "9600,m,8,1" << rejected;
        QTest::newRow("parity word") << "9600,none,8,1" << rejected;
        QTest::newRow("4 data bits") << "9600,n,4,1" << rejected;
        QTest::newRow("9 data bits") << "9600,n,9,1" << rejected;
        QTest::newRow("0 stop bits") << "9600,n,8,0" << rejected;
        QTest::newRow("1.5 stop bits") << "9600,n,8,1.5" << rejected;
        QTest::newRow("semicolons") << "115200;n;8;1" << rejected;
    }

    void settingsText()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<LineSettings>, expected);
        QCOMPARE(parseLineSettings(text.toStdString()), expected);
    }

    void linuxDeviceNames()
    {
        QCOMPARE(iap::posixDevicePath("ttyUSB0:"), std::string("/dev/ttyUSB0"));
        QCOMPARE(iap::posixDevicePath("ttyS1:"), std::string("/dev/ttyS1"));
        QCOMPARE(iap::posixDevicePath("/run/user/0/iap-ports/SIM0:"), std::string("/run/user/0/iap-ports/SIM0"));
        QCOMPARE(iap::posixDevicePath("/dev/pts/7"), std::string("/dev/pts/7"));
        // Only the one colon the window appends is the separator.
        QCOMPARE(iap::posixDevicePath("/tmp/a:b:"), std::string("/tmp/a:b"));
    }

    void windowsDeviceNames()
    {
        QCOMPARE(iap::windowsDevicePath("COM3:"), std::string("\\\\.\\COM3"));
        QCOMPARE(iap::windowsDevicePath("COM12:"), std::string("\\\\.\\COM12"));
        QCOMPARE(iap::windowsDevicePath("COM1"), std::string("\\\\.\\COM1"));
        QCOMPARE(iap::windowsDevicePath("\\\\.\\COM4:"), std::string("\\\\.\\COM4"));
    }
};

QTEST_GUILESS_MAIN(SerialSettingsTest)
#include "tst_serial_settings.moc"
