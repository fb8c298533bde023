#include "serial/LineState_posix.h"

#include <QtTest>

using iap::LineSettings;
using iap::Parity;
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

class SerialLineStateTest : public QObject {
    Q_OBJECT

private slots:
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
        QTest::newRow("5 bits") << 57600 << int(Parity::None) << 5 << 1 << speed_t(B57600) << tcflag_t(CS5);
        QTest::newRow("921600") << 921600 << int(Parity::None) << 8 << 1 << speed_t(B921600) << tcflag_t(CS8);
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

QTEST_GUILESS_MAIN(SerialLineStateTest)
#include "tst_serial_linestate.moc"
