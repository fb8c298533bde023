// Line settings from the settings text to the terminal state, and the device path of a port name.
#include "serial/LineSettings.h"
#include "serial/LineState_posix.h"
#include "serial/PortDeviceName.h"

#include <QtTest>

using iap::LineSettings;
using iap::Parity;
using iap::parseLineSettings;
using iap::rawLineState;

namespace {

// A state as a terminal might have it before the port is taken: cooked, echoing, with
// handshakes on, so that every flag the port needs off is seen to be switched off.
termios cookedState()
{
    termios state{};
    state.c_iflag = ICRNL | IXON | IXOFF | IXANY | ISTRIP | INLCR | IGNCR | BRKINT | PARMRK;
    state.c_oflag = OPOST | ONLCR;
    state.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
    state.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    cfsetispeed(&state, B1200);
    cfsetospeed(&state, B1200);
    return state;
}

}  // namespace

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
        QTest::newRow("three fields") << "115200,n,8" << rejected;
        QTest::newRow("trailing comma") << "115200,n,8,1," << rejected;
        QTest::newRow("zero baud") << "0,n,8,1" << rejected;
        QTest::newRow("baud with letters") << "115200x,n,8,1" << rejected;
        QTest::newRow("baud beyond int") << "99999999999,n,8,1" << rejected;
        QTest::newRow("mark parity") << "9600,m,8,1" << rejected;
        QTest::newRow("9 data bits") << "9600,n,9,1" << rejected;
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

    void framing_data()
    {
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<speed_t>("speed");
        QTest::addColumn<tcflag_t>("framingFlags");
        QTest::newRow("HX300") << 115200 << int(Parity::None) << 8 << 1 << speed_t(B115200) << tcflag_t(CS8);
        QTest::newRow("VR200") << 38400 << int(Parity::None) << 8 << 1 << speed_t(B38400) << tcflag_t(CS8);
        QTest::newRow("even 7 2") << 9600 << int(Parity::Even) << 7 << 2 << speed_t(B9600)
                                  << tcflag_t(CS7 | PARENB | CSTOPB);
        QTest::newRow("odd 6 1") << 19200 << int(Parity::Odd) << 6 << 1 << speed_t(B19200)
                                 << tcflag_t(CS6 | PARENB | PARODD);
    }

    void framing()
    {
        QFETCH(int, baudRate);
        QFETCH(int, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        QFETCH(speed_t, speed);
        QFETCH(tcflag_t, framingFlags);

        const auto state = rawLineState(cookedState(), LineSettings{baudRate, Parity(parity), dataBits, stopBits});
        QVERIFY(state);
        QCOMPARE(cfgetospeed(&*state), speed);
        QCOMPARE(cfgetispeed(&*state), speed);
        QCOMPARE(state->c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), framingFlags);
    }

    void rawWithoutHandshake()
    {
        const auto state = rawLineState(cookedState(), LineSettings{115200, Parity::None, 8, 1});
        QVERIFY(state);
        QCOMPARE(state->c_cflag & CRTSCTS, tcflag_t(0));
        QCOMPARE(state->c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(state->c_iflag & (IXON | IXOFF | IXANY), tcflag_t(0));
        // Nothing may turn, drop or mark a byte: 0x0D, 0x11, 0x13 and 0xFF are ordinary data.
        QCOMPARE(state->c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | BRKINT), tcflag_t(0));
        QCOMPARE(state->c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(state->c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(state->c_cc[VMIN], cc_t(1));
        QCOMPARE(state->c_cc[VTIME], cc_t(0));
    }

    void unknownRateIsRefused()
    {
        QVERIFY(!rawLineState(cookedState(), LineSettings{12345, Parity::None, 8, 1}));
        QVERIFY(!rawLineState(cookedState(), LineSettings{115201, Parity::None, 8, 1}));
    }
};

QTEST_GUILESS_MAIN(SerialSettingsTest)
#include "tst_serial_settings.moc"
