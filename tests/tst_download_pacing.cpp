// Pacing of a download: once the dispatcher has armed the page sender, the page leaves before
// the dispatcher polls the line again. A poll blocks until a reply has ended or for about two
// seconds, and a window timer that is overdue fires before one started later; if the dispatcher's
// polls could run back to back, the armed page would wait behind them for ever.
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using iap::test::PrivateRuntimeDir;
using iap::test::TestWindow;
using iap::test::VirtualDevice;

namespace {

constexpr int PageBytes = 2048;
constexpr int DownloadTimeoutMs = 60000;

QByteArray pattern(int length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 11 + i / 509) & 0xFF);
    return bytes;
}

// Watches the two timers of a transfer. A dispatcher tick that ends with a page armed must be
// followed by at least one page-sender tick before the next dispatcher tick.
class PacingWatch {
public:
    explicit PacingWatch(iap::主窗口& w)
    {
        // Connected after the window's own handlers, so these run when the tick has done its work.
        QObject::connect(w.Timer1, &QTimer::timeout, &w, [this, &w] {
            ++polls;
            if (armedAfterPoll && senderTicksSincePoll == 0)
                ++pollsWhileArmed;
            armedAfterPoll = w.SendNextPage;
            senderTicksSincePoll = 0;
        });
        QObject::connect(w.Timer2, &QTimer::timeout, &w, [this] { ++senderTicksSincePoll; });
    }

    int polls = 0;
    int pollsWhileArmed = 0;

private:
    bool armedAfterPoll = false;
    int senderTicksSincePoll = 0;
};

}  // namespace

class DownloadPacingTest : public QObject {
    Q_OBJECT

private slots:
    void everyArmedPageLeavesBeforeTheNextPoll_data();
    void everyArmedPageLeavesBeforeTheNextPoll();
};

void DownloadPacingTest::everyArmedPageLeavesBeforeTheNextPoll_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("lastPage");
    QTest::newRow("HX300, 115200 baud") << QStringLiteral("HX300") << 11;
    QTest::newRow("VR200, 38400 baud") << QStringLiteral("VR200") << 5;
}

void DownloadPacingTest::everyArmedPageLeavesBeforeTheNextPoll()
{
    QFETCH(QString, model);
    QFETCH(int, lastPage);
    PrivateRuntimeDir runtime;
    VirtualDevice device({QStringLiteral("--model"), model});
    QVERIFY(device.start());
    TestWindow tool;
    if (model == QStringLiteral("VR200"))
        tool->Option1->setChecked(true);

    QTemporaryDir files;
    QVERIFY(files.isValid());
    const QString path = files.filePath(QStringLiteral("app.bin"));
    const QByteArray image = pattern(lastPage * PageBytes + 1000);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
    file.close();
    tool.desktop.fileDialog->answers << path;
    tool->cmdLoad->click();
    const QStringList address{QStringLiteral("08"), QStringLiteral("00"), QStringLiteral("08"), QStringLiteral("00")};
    for (int i = 0; i < 4; ++i)
        tool->目标地址[std::size_t(i)]->setText(address[i]);

    PacingWatch watch(*tool);
    tool->开始下载->click();
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("IAP Checksum right"), DownloadTimeoutMs);

    QCOMPARE(watch.pollsWhileArmed, 0);
    QCOMPARE(device.logCount(QStringLiteral(" RX PAGE ")), lastPage + 1);
    QCOMPARE(device.flash(0x08000800, image.size()), image);
}

QTEST_MAIN(DownloadPacingTest)
#include "tst_download_pacing.moc"
