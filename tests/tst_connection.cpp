// The connection row on a pseudo-terminal: "Open" at the chosen model's line settings, a port in
// use, "Close", "Refresh" that ends an operation, and "Seek-Com".
#include "Files.h"
#include "Tool.h"
#include "Wait.h"
#include "Pty.h"
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace iap::test;

// The line as the port left it, e.g. "115200 8N1 raw".
static QString lineOf(const Pty& pty)
{
    const termios t = pty.lineSettings();
    const bool raw = !(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP)) && !(t.c_oflag & OPOST) && !(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    return QStringLiteral("%1 %2 %3").arg(cfgetospeed(&t) == B115200 ? 115200 : cfgetospeed(&t) == B38400 ? 38400 : 0)
        .arg((t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) == CS8 ? "8N1" : "?", raw ? "raw" : "cooked");
}

class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void openUsesTheModelsLineSettings_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("line");
        QTest::newRow("HX300") << "波特率(0)" << "115200 8N1 raw";
        QTest::newRow("VR200") << "Option1(1)" << "38400 8N1 raw";
    }
    // "Open" twice reopens; selecting HX300 reopens at its rate; a port held elsewhere is refused.
    void openUsesTheModelsLineSettings()
    {
        QFETCH(QString, model);
        QFETCH(QString, line);
        Pty pty;
        Tool tool(pty.listing());
        tool.control<QRadioButton>(model)->click();
        tool.click("打开串口");
        QCOMPARE(lineOf(pty), line);
        tool.click("打开串口");
        QCOMPARE(tool.statusLog(), QStringList(2, "CommPort:" + pty.path()));
        tool.control<QRadioButton>("波特率(0)")->click();
        QCOMPARE(lineOf(pty), QStringLiteral("115200 8N1 raw"));
        tool.click("关闭串口");
        QVERIFY(pty.letGo());
        const int other = ::open(qPrintable(pty.path()), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(flock(other, LOCK_EX | LOCK_NB) == 0);
        tool.click("打开串口");
        ::close(other);
        QCOMPARE(tool.status(), QStringLiteral("The COMM port is occupied or doesn't exit!"));
    }

    // Close with nothing open changes nothing, else lets the port go and leaves the status;
    // Refresh ends a download whose device never answers, but shows no hidden button; Seek-Com
    // lists a USB adapter plugged in and offers it first.
    void closeRefreshAndSeekCom()
    {
        Pty pty;
        QTemporaryDir dir;
        auto ports = std::make_unique<FakePortSource>(std::vector<iap::PortInfo>{fakePort(pty.path(), "VIRTUAL SERIAL")});
        FakePortSource* source = ports.get();
        Tool tool(std::move(ports));
        auto* list = tool.control<QComboBox>("COMID");
        tool.click("关闭串口");
        QCOMPARE(tool.statusLog(), QStringList());
        tool.click("打开串口");
        tool.click("关闭串口");
        QVERIFY(pty.letGo());
        QCOMPARE(tool.status(), "CommPort:" + pty.path());
        tool.desktop.fileDialog->answers << dir.filePath("app.bin");
        QVERIFY(writeFile(dir.filePath("app.bin"), pattern(3000)));
        tool.click("cmdLoad");
        tool.click("开始下载");
        QCOMPARE(tool.enabledOperations(), QString());
        tool.click("刷新");
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Read IAP"));
        // The same image again, for the next device: every operation is busy once more.
        tool.click("开始下载");
        QCOMPARE(tool.enabledOperations(), QString());
        tool.click("刷新");
        QVERIFY(tool.button("读Flash")->isHidden() && pty.letGo());
        source->listed.push_back(fakePort("/dev/ttyUSB0", "usb-FTDI_USB_Serial"));
        tool.click("刷新串口");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->currentText(), QStringLiteral("/dev/ttyUSB0  usb-FTDI_USB_Serial"));
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
