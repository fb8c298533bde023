#include "serial/SerialPort.h"

#include "Pty.h"
#include "TestWindow.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using iap::PortNameRules;
using iap::PortValue;
using iap::SerialPort;
using iap::test::FakePortSource;
using iap::test::Pty;
using iap::test::TestWindow;

namespace {

// A frame's worth of bytes that the program had written when the window closed.
constexpr int PendingBytes = 19;

std::unique_ptr<FakePortSource> listing(const Pty& pty)
{
    return std::make_unique<FakePortSource>(std::vector<PortValue>{{QStringLiteral("VIRTUAL SERIAL"), pty.portPath()}},
                                            PortNameRules::Verbatim);
}

}  // namespace

class WindowShutdownTest : public QObject {
    Q_OBJECT

private slots:
    void closingTheWindowReleasesThePortAndStopsTheTimers()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        TestWindow tool(listing(pty));
        tool->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*tool));
        tool->打开串口->click();
        QVERIFY(tool->serial.PortOpen());
        tool->Check1->click();
        tool->Timer2->start();
        QVERIFY(tool->Timer1->isActive() && tool->Timer2->isActive() && tool->Timer3->isActive());
        for (int i = 0; i < PendingBytes; ++i)
            tool->serial.TransferBuffer[std::size_t(i)] = std::uint8_t('a' + i);
        tool->serial.LastByteIndex = PendingBytes - 1;
        QCOMPARE(int(tool->serial.WritePort()), PendingBytes);

        QVERIFY(tool->close());

        QVERIFY(!tool->isVisible());
        QVERIFY(!tool->serial.PortOpen());
        QVERIFY(!tool->Timer1->isActive());
        QVERIFY(!tool->Timer2->isActive());
        QVERIFY(!tool->Timer3->isActive());
        QCOMPARE(pty.receive(PendingBytes), QByteArray("abcdefghijklmnopqrs"));
        SerialPort next(iap::makeSystemPortDevice());
        QVERIFY(next.OpenPort(pty.portDeviceName(), QStringLiteral("115200,n,8,1")));
        QVERIFY(tool.desktop.messageBox->shown.empty());
    }

    void closingWithNothingOpen()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        tool->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*tool));

        QVERIFY(tool->close());

        QVERIFY(!tool->serial.PortOpen());
        QVERIFY(!tool->Timer1->isActive());
        QVERIFY(!tool->Timer2->isActive());
        QVERIFY(!tool->Timer3->isActive());
        QVERIFY(tool.desktop.messageBox->shown.empty());
    }
};

QTEST_MAIN(WindowShutdownTest)
#include "tst_window_shutdown.moc"
