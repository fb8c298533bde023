// iap-cli end to end against virtual devices: each command, several ports at once, bad input
// that sends nothing, a held port, a silent or chattering device, signals and a reader that goes.
#include "Device.h"
#include "Doctor.h"
#include "FakeClock.h"
#include "Files.h"
#include "Program.h"
#include "Machine.h"
#include "Pty.h"
#include "Report.h"
#include "RuntimeDir.h"
#include "TestParts.h"
#include "Wait.h"
#include "journal/Journal.h"
#include "session/Connection.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <map>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace iap::test;

namespace {

// A journal of the test's own where the default journal lives; the tests after it keep theirs,
// whatever becomes of this one.
struct DataHome {
    explicit DataHome(const QString& path) : before(qgetenv("XDG_DATA_HOME")) { qputenv("XDG_DATA_HOME", path.toUtf8()); }
    ~DataHome() { qputenv("XDG_DATA_HOME", before); }
    DataHome(const DataHome&) = delete;
    DataHome& operator=(const DataHome&) = delete;
    QByteArray before;
};

constexpr quint32 Address = 0x08004000;

// Whether the machine held the virtual device up for longer than the tool waits for a quiet line.
bool heldUpLongerThanAQuietLine(VirtualDevice& device)
{
    static const QRegularExpression heldUp(QStringLiteral(" HELD UP (\\d+) ms$"));
    for (const QString& line : device.logLines())
        if (const QRegularExpressionMatch found = heldUp.match(line); found.hasMatch() && found.captured(1).toInt() >= iap::DefaultDevice.quietMs)
            return true;
    return false;
}

Finished cli(const QStringList& arguments)
{
    return runProgram(QStringLiteral(IAP_CLI_PATH), arguments);
}

// How long the last run on the port took, by the tool's own clock as its journal keeps it: the
// time the run waited, without the time a loaded machine takes to start or end a program.
qint64 lastRunMs(const QString& journal, const QString& port)
{
    QString error;
    const auto records = iap::Journal(journal, iap::Journal::Access::Read).records().matching({{}, port, {}}, error);
    return records.empty() ? -1 : records.back().durationMs;
}

// A run in the background, its output gathered as it comes.
struct Background {
    explicit Background(const QStringList& arguments) { process.start(QStringLiteral(IAP_CLI_PATH), arguments); }
    bool waitForOutput(const QByteArray& text)
    {
        return waitUntil([&] { return (out += process.readAllStandardOutput()).contains(text); }, VirtualDevice::TimeoutMs);
    }
    QProcess process;
    QByteArray out;
};

// A machine as doctor sees it, clean until a test says otherwise.
struct FakeMachine final : iap::cli::Machine {
    std::vector<iap::PortInfo> ports() override { return listed; }
    QString userName() override { return QStringLiteral("tech"); }
    bool mayOpen(const QString&) override { return openable; }
    QString ownerOf(const QString&) override { return QStringLiteral("root"); }
    QString groupOf(const QString&) override { return group; }
    int modeOf(const QString&) override { return mode; }
    QString accessRule() override { return rule; }
    bool recordedInGroup(const QString&) override { return recorded; }
    bool sessionInGroup(const QString&) override { return false; }
    QStringList brlttyRulesForSerialAdapters() override { return brltty; }
    bool modemManagerRunning() override { return modemManager; }
    QString latencyTimerFile(const iap::PortInfo& port) override { return QStringLiteral("/sys/class/tty/%1/device/latency_timer").arg(port.name()); }
    int latencyTimerMs(const QString&) override { return latencyMs; }
    bool soundDevicePresent() override { return true; }
    QString announcementFolder() override { return QStringLiteral("/run/user/1000/iap-ports"); }
    bool announcementFolderPrivate() override { return folderPrivate; }

    std::vector<iap::PortInfo> listed{iap::PortInfo(QStringLiteral("ttyUSB0"), QStringLiteral("/dev/ttyUSB0"))};
    bool openable = true, recorded = false, modemManager = false, folderPrivate = true;
    int latencyMs = 1, mode = 0660;
    QString group = QStringLiteral("dialout"), rule;
    QStringList brltty;
};
// What a test changes of the clean machine.
using MachineChange = std::function<void(FakeMachine&)>;

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void downloadWriteProgramAndPorts()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        // The last acknowledgement and the sum in one read: every page is told sent all the same.
        VirtualDevice device(fast({"--flash-base", "0x08000000", "--merge-checksum"}));
        QVERIFY(device.start());
        const QString port = device.linkPath();
        const QByteArray app = pattern(5000, 1), header = QByteArray("Flash Write") + bigEndian(0x08010000) + pattern(PageBytes - 15, 2);
        const QByteArray slot = header + pattern(3000, 3);
        const QByteArray slot1 = QByteArray("Flash Write") + bigEndian(0x08020000) + pattern(PageBytes - 15, 6) + pattern(100, 7);
        QVERIFY(writeFile(files.filePath("app.bin"), app) && writeFile(files.filePath("slot.flash"), slot));
        QVERIFY(writeFile(files.filePath("slot1.flash"), slot1));

        Finished run = cli({"download", "--port", port, "--address", "08004000", files.filePath("app.bin")});
        QCOMPARE(run.exit, 0);
        QVERIFY2(run.out.endsWith(port + QStringLiteral(": IAP Checksum right\n")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("IAP\u3000Successfully")) && !run.out.contains(QStringLiteral("Write Flash Successfully")), qPrintable(run.out));
        QCOMPARE(device.flash(Address, 3 * PageBytes), pagesOf(app).join());

        // The name the port list shows opens the device.
        const QString name = QFileInfo(port).fileName();
        run = cli({"write", "--port", name, files.filePath("slot.flash")});
        QCOMPARE(run.exit, 0);
        QVERIFY2(run.out.endsWith(name + QStringLiteral(": Write Checksum right\n")), qPrintable(run.out));
        QCOMPARE(device.flash(0x08010000, 2 * PageBytes), pagesOf(slot).mid(1).join());

        QVERIFY(device.restart());
        run = cli({"program", "--port", port, "--address", "0x08004000", "--slot0", files.filePath("slot.flash"), "--slot1", files.filePath("slot1.flash"),
                   "--app", files.filePath("app.bin"), "--json"});
        QCOMPARE(run.exit, 0);
        QVERIFY(run.out.contains(QStringLiteral("\"event\":\"result\",\"exit\":0,\"port\":\"%1\",\"text\":\"IAP Checksum right\"").arg(port)));
        // Each step's end tells what it sent: the two flash images, then the application.
        QCOMPARE(run.out.count(QStringLiteral("Write Flash Successfully")), 2);
        QVERIFY2(run.out.indexOf(QStringLiteral("IAP\u3000Successfully")) > run.out.lastIndexOf(QStringLiteral("Write Flash Successfully")), qPrintable(run.out));
        QVERIFY(run.out.contains(QStringLiteral("\"event\":\"version\",\"port\":\"%1\",\"text\":\"V2.31\"}").arg(port)));
        static const QRegularExpression sum(QStringLiteral("\"sum\":\"([^\"]*)\""));
        QStringList sums;
        for (const QRegularExpressionMatch& found : sum.globalMatch(run.out))
            sums << found.captured(1);
        QVERIFY(!sums.isEmpty() && sums.filter(QRegularExpression(QStringLiteral("^[0-9A-F]{8}$"))) == sums);
        QCOMPARE(device.flash(0x08010000, 2 * PageBytes), pagesOf(slot).mid(1).join());
        QCOMPARE(device.flash(0x08020000, PageBytes), pagesOf(slot1).mid(1).join());
        QCOMPARE(device.flash(Address, 3 * PageBytes), pagesOf(app).join());

        run = cli({"ports"});
        QCOMPARE(run.exit, 0);
        QVERIFY(run.out.startsWith(name + QStringLiteral("  VIRTUAL SERIAL -> ")));
        run = cli({"ports", "--json"});
        QVERIFY2(run.out.section(u'\n', 0, 0).contains(QStringLiteral(R"("name":"%1","path":"%2","pid":null,"preferred":true)").arg(name, port)), qPrintable(run.out));
    }

    // Data holding every reply keyword are data: the file is the flash, byte for byte.
    void readWithKeywordsInTheData()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        QByteArray flash = pattern(3 * PageBytes, 4);
        for (const auto& [offset, text] : {std::pair{0, "ChecksumR\0\0\0\0"}, {100, "Erase ok"}, {2040, "ChecksumI"}, {4000, "Write d OK"}})
            flash.replace(offset, int(qstrlen(text)), text);
        VirtualDevice device(fast());
        QVERIFY(writeFile(device.imagePath(), flash) && device.start());
        const QString out = files.filePath(QStringLiteral("read-{port}.bin"));
        const Finished run = cli({"read", "--port", device.linkPath(), "--address", "08000000", "--pages", "3", "-o", out});
        QCOMPARE(run.exit, 0);
        QCOMPARE(readFile(files.filePath(QStringLiteral("read-%1.bin").arg(QFileInfo(device.linkPath()).fileName()))), flash);
    }

    // One device reports a wrong sum: its port fails, the other two are flashed and right.
    void threePortsOneWrongSum()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice first(fast()), wrong(fast({"--wrong-sum"})), third(fast());
        QVERIFY(first.start() && wrong.start() && third.start());
        const QByteArray app = pattern(3 * PageBytes + 10, 5);
        QVERIFY(writeFile(files.filePath("app.bin"), app));
        const Finished run = cli({"download", "--port", first.linkPath(), "--port", wrong.linkPath(), "--port", third.linkPath(), "--address",
                             "08004000", files.filePath("app.bin")});
        QCOMPARE(run.exit, 1);
        const QStringList last = run.out.trimmed().split(u'\n').last(3);
        QCOMPARE(last, (QStringList{first.linkPath() + ": IAP Checksum right", wrong.linkPath() + ": IAP Checksum error",
                                    third.linkPath() + ": IAP Checksum right"}));
        for (VirtualDevice* device : {&first, &third})
            QCOMPARE(device->flash(Address, 4 * PageBytes), pagesOf(app).join());
    }

    // A transfer read back and compared; a device that stores a byte wrong but sums what it
    // received is caught at that byte, in a download, a write and a station's round whose job
    // asks for it.
    void verifyByReadingBack()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        const DataHome dataHome(files.filePath("data"));
        VirtualDevice honest(fast()), faulty(fast({"--store-wrong-byte", "3000"}));
        QVERIFY(honest.start() && faulty.start());
        const QByteArray app = pattern(3 * PageBytes + 10, 8), image = QByteArray("Flash Write") + bigEndian(0x08010000) + pattern(PageBytes - 15, 2) + pattern(5000, 3);
        QVERIFY(writeFile(files.filePath("app.bin"), app) && writeFile(files.filePath("slot.flash"), image));

        Finished run = cli({"download", "--port", honest.linkPath(), "--address", "08004000", "--verify", files.filePath("app.bin")});
        QCOMPARE(run.exit, 0);
        QVERIFY2(run.out.endsWith(honest.linkPath() + ": Verify right\n"), qPrintable(run.out));
        QCOMPARE(honest.logCount("INFO flash read of 4 pages at 0x08004000"), 1);
        run = cli({"journal", "--json"});
        const QJsonArray steps = QJsonDocument::fromJson(run.out.toUtf8()).object()["steps"].toArray();
        QCOMPARE(steps.size(), 2);
        QCOMPARE(steps[1]["kind"], "verify");
        QCOMPARE(steps[1]["pages"], 4);
        QCOMPARE(steps[1]["verdict"], "Verify right");

        const auto hexByte = [](int byte) { return QStringLiteral("%1").arg(quint8(byte), 2, 16, QChar('0')).toUpper(); };
        const char sent = image[PageBytes + 2999];
        const QString expected = QStringLiteral("Verify error at 08010BB7: the flash holds %1, %2 was sent").arg(hexByte(sent ^ 1), hexByte(sent));
        run = cli({"write", "--port", faulty.linkPath(), "--verify", files.filePath("slot.flash")});
        QCOMPARE(run.exit, 1);
        QVERIFY2(run.out.endsWith(faulty.linkPath() + ": " + expected + "\n"), qPrintable(run.out));

        QVERIFY(writeFile(files.filePath("job.json"), R"({"model": "HX300", "slot0": "slot.flash", "verify": true})"));
        Background station({"station", "--port", faulty.linkPath(), "--job", files.filePath("job.json")});
        QVERIFY(station.waitForOutput(expected.toUtf8()));
        station.process.kill();
        station.process.waitForFinished();
    }

    // The live line of a terminal: each transfer, and then its read-back, with a rate and a time
    // left of its own.
    void liveLineOfTransferAndVerify()
    {
        FakeClock clock;
        QTemporaryDir files;
        const QString path = files.filePath("out");
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(qPrintable(path), "w"), &std::fclose);
        std::FILE* out = file.get();
        QVERIFY(out);
        // The line drawn last, without the control characters that draw it.
        const auto lastLine = [out, &path] {
            std::fflush(out);
            return QString::fromUtf8(readFile(path)).section(u'\n', -2, -2).section(QStringLiteral("\x1b[2K"), -1);
        };
        {
            iap::cli::Report report(iap::cli::Report::Style::Terminal, {"p"}, PageBytes, clock, out);
            for (int transfer = 0; transfer < 2; ++transfer) {
                clock.advance(60000);
                report.image("p", "app.bin", "");
                report.progress("p", 0, 20);
                clock.advance(4000);
                report.progress("p", 4, 20);
                QCOMPARE(lastLine(), "p: 4 of 20 pages, 2048 B/s, 16 s left");
            }
            clock.advance(3000);
            report.verifying("p");
            QCOMPARE(lastLine(), "p: verifying");
            report.progress("p", 0, 20);
            clock.advance(1000);
            report.progress("p", 4, 20);
            QCOMPARE(lastLine(), "p: verifying 4 of 20 pages, 8192 B/s, 4 s left");
        }
    }

    // Found before anything is sent: the port is not even opened.
    void badInputSendsNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("missing file") << QStringList{"download", "--address", "08004000", "missing.bin"};
        QTest::newRow("address of seven digits") << QStringList{"download", "--address", "0800400", "app.bin"};
        QTest::newRow("no pages") << QStringList{"read", "--address", "08004000", "--pages", "0", "-o", "out.bin"};
        QTest::newRow("1026 pages") << QStringList{"read", "--address", "08004000", "--pages", "1026", "-o", "out.bin"};
        QTest::newRow("plain image without address") << QStringList{"write", "app.bin"};
        QTest::newRow("address other than the header's") << QStringList{"write", "--address", "08004000", "header.bin"};
        QTest::newRow("unknown option") << QStringList{"download", "--adress", "08004000", "app.bin"};
        QTest::newRow("empty image") << QStringList{"download", "--address", "08004000", "empty.bin"};
        QTest::newRow("header page alone") << QStringList{"write", "short.flash"};
        QTest::newRow("pages beyond 4 GiB") << QStringList{"download", "--address", "FFFFF800", "header.bin"};
        QTest::newRow("image of 5 GiB") << QStringList{"download", "--address", "00000000", "huge.bin"};
        QTest::newRow("read beyond 4 GiB") << QStringList{"read", "--address", "FFFFF000", "--pages", "3", "-o", "out.bin"};
        QTest::newRow("address with two 0x") << QStringList{"download", "--address", "0x0x123456", "app.bin"};
        QTest::newRow("address with a space") << QStringList{"download", "--address", " 8004000", "app.bin"};
        QTest::newRow("empty port") << QStringList{"download", "--port", "", "--address", "08004000", "app.bin"};
        QTest::newRow("a port that is a file") << QStringList{"download", "--port", "app.bin", "--address", "08004000", "app.bin"};
        QTest::newRow("an adapter that is not there") << QStringList{"download", "--port", "usb:0403:6001", "--address", "08004000", "app.bin"};
        QTest::newRow("a port that is not there") << QStringList{"download", "--port", "ttyNOSUCH7", "--address", "08004000", "app.bin"};
        QTest::newRow("the port twice, as its link and its terminal") << QStringList{"download", "--port", "@terminal", "--address", "08004000", "app.bin"};
        QTest::newRow("two ports, one read-back file") << QStringList{"read", "--port", "@twin", "--address", "08004000", "--pages", "1", "-o", "{port}.bin"};
        QTest::newRow("timeout beyond an hour") << QStringList{"download", "--timeout", "3601", "--address", "08004000", "app.bin"};
        QTest::newRow("read-back file a folder") << QStringList{"read", "--address", "08004000", "--pages", "1", "-o", "@folder"};
        QTest::newRow("read-back file in a missing folder") << QStringList{"read", "--address", "08004000", "--pages", "1", "-o", "missing/out.bin"};
        QTest::newRow("read-back file in a read-only folder") << QStringList{"read", "--address", "08004000", "--pages", "1", "-o", "@locked/out.bin"};
    }

    void badInputSendsNothing()
    {
        QFETCH(QStringList, arguments);
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device(fast());
        QVERIFY(device.start() && writeFile(files.filePath("app.bin"), pattern(100, 6)));
        QVERIFY(writeFile(files.filePath("header.bin"), QByteArray("Flash Write") + bigEndian(0x08010000) + pattern(PageBytes, 6)));
        QVERIFY(writeFile(files.filePath("empty.bin"), {}) && writeFile(files.filePath("short.flash"), QByteArray("Flash Write") + bigEndian(0x08010000) + "tail"));
        QFile huge(files.filePath("huge.bin"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(5) << 30));
        const QString twin = files.filePath(QFileInfo(device.linkPath()).fileName());
        QVERIFY(QFile::link("/dev/null", twin) && QDir(files.path()).mkdir("locked") && QFile::setPermissions(files.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner));
        if (QTest::currentDataTag() == QByteArray("read-back file in a read-only folder") && geteuid() == 0)
            QSKIP("root writes into a read-only folder");
        const std::map<QString, QString> places{{"@terminal", device.portPath()}, {"@twin", twin}, {"@folder", files.path()}, {"@locked/out.bin", files.filePath("locked/out.bin")}};
        for (QString& argument : arguments)
            if (places.count(argument))
                argument = places.at(argument);
            else if (argument.endsWith(QLatin1String(".bin")) || argument.endsWith(QLatin1String(".flash")))
                argument = files.filePath(argument);
        QCOMPARE(cli(arguments + QStringList{"--port", device.linkPath()}).exit, 2);
        QCOMPARE(device.logCount(QStringLiteral("INFO port opened")), 0);
    }

    // iap-cli job does one thing, job pin JOB.json, and tells it in the help; anything else
    // touches no job.
    void jobCommandUsage()
    {
        QTemporaryDir files;
        const QString job = files.filePath("job.json");
        const QByteArray unpinned(R"({"model": "HX300", "address": "08004000", "application": "app.bin"})");
        QVERIFY(writeFile(job, unpinned) && writeFile(files.filePath("app.bin"), pattern(100)));
        for (const QStringList& arguments : {QStringList{"job"}, {"job", job}, {"job", "pin"}, {"job", "pin", job, job}, {"job", "unpin", job},
                                             {"job", "pin", job, "--port", "ttyUSB0"}, {"job", "pin", job, "--json"}})
            QVERIFY2(cli(arguments).exit == 2 && readFile(job) == unpinned, qPrintable(arguments.join(' ')));
        QCOMPARE(cli({"job", "pin", job}).exit, 0);
        QVERIFY(cli({"job", "--help"}).out.contains("\n  iap-cli job pin line3.json\n"));
        QVERIFY(cli({"--help"}).out.contains("\n  job        the job files of a station"));
    }

    // help [COMMAND] is --help and COMMAND --help; -V is --version.
    void helpAndVersion()
    {
        const Finished general = cli({"--help"}), command = cli({"download", "--help"}), version = cli({"--version"});
        QVERIFY(general.exit == 0 && general.out.startsWith("Usage: iap-cli COMMAND") && command.out.startsWith("Usage: iap-cli download"));
        QCOMPARE(version.out, QStringLiteral("iap-cli %1.%2.%3\n").arg(IAP_VERSION_MAJOR).arg(IAP_VERSION_MINOR).arg(IAP_VERSION_PATCH));
        for (const auto& [arguments, expected] : {std::pair{QStringList{"help"}, general}, {{"help", "download"}, command}, {{"-V"}, version}}) {
            const Finished run = cli(arguments);
            QVERIFY2(run.exit == 0 && run.out == expected.out, qPrintable(arguments.join(' ')));
        }
        for (const QStringList& arguments : {QStringList{"help", "downlaod"}, {"help", "download", "write"}}) {
            const Finished run = cli(arguments);
            QVERIFY2(run.exit == 2 && run.out.isEmpty() && run.err.contains(arguments.last()), qPrintable(run.err));
        }
    }

    void heldPortAndSilentDevice()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice held(fast()), silent({"--silent"});
        QVERIFY(held.start() && silent.start() && writeFile(files.filePath("app.bin"), pattern(100, 7)));
        const int holder = ::open(held.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0 && flock(holder, LOCK_EX | LOCK_NB) == 0);
        // The time-out, 5 s unless given, counts from the command; the run ends within a second of it.
        const QString journal = files.filePath("journal.sqlite");
        for (const int timeoutS : {5, 1}) {
            const QStringList timeout = timeoutS == 5 ? QStringList() : QStringList{"--timeout", QString::number(timeoutS)};
            QElapsedTimer clock;
            clock.start();
            const Finished run = cli(QStringList{"download", "--port", held.linkPath(), "--port", silent.linkPath(), "--journal", journal} + timeout +
                                QStringList{"--address", "08004000", files.filePath("app.bin")});
            QCOMPARE(run.exit, 3);
            QVERIFY2(clock.elapsed() >= timeoutS * 1000, qPrintable(QString::number(clock.elapsed())));
            QVERIFY2(lastRunMs(journal, silent.linkPath()) < timeoutS * 1000 + 1000, qPrintable(QString::number(lastRunMs(journal, silent.linkPath()))));
            QVERIFY(run.out.contains(held.linkPath() + QStringLiteral(": The COMM port is occupied or doesn't exit!\n")));
            QVERIFY(run.out.contains(silent.linkPath() + QStringLiteral(": No reply from the device for %1 s while waiting for the erase report\n").arg(timeoutS)));
            QVERIFY2(run.err.contains("iap-cli: " + held.linkPath() + QStringLiteral(": The COMM port is occupied or doesn't exit!\n")), qPrintable(run.err));
            QVERIFY(run.err.contains("iap-cli: " + silent.linkPath() + QStringLiteral(": No reply from the device for %1 s").arg(timeoutS)));
        }
        ::close(holder);
        // A port that is not there is no device gone quiet: it is refused with the ports there are.
        const Finished absent = cli({"download", "--port", "ttyNOSUCH7", "--address", "08004000", files.filePath("app.bin")});
        QCOMPARE(absent.exit, 2);
        QVERIFY2(absent.out.isEmpty() && absent.err.startsWith("iap-cli: --port ttyNOSUCH7 is no port there is; the ports: ") &&
                     absent.err.contains(QFileInfo(silent.linkPath()).fileName()),
                 qPrintable(absent.err));
    }

    // A device whose line hangs up in mid-transfer (its adapter pulled out): the kernel has said
    // it is gone, so the run ends at once as "port lost" (exit 3), not after its time-out; a
    // device that goes right after its last reply (a board that resets) has still given it.
    void portLostEndsTheRunAtOnce()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice pulled({"--hangup-after", "2"}), resetting({"--replug-after-round", "--replug-delay-ms", "60000", "--reply-gap-ms", "0"});
        QVERIFY(pulled.start() && resetting.start() && writeFile(files.filePath("app.bin"), pattern(4 * PageBytes, 9)));
        const QString journal = files.filePath("journal.sqlite");
        const Finished run = cli({"download", "--port", pulled.linkPath(), "--port", resetting.linkPath(), "--timeout", "60", "--journal", journal,
                             "--address", "08004000", files.filePath("app.bin")});
        QCOMPARE(run.exit, 3);
        QVERIFY2(run.out.contains(pulled.linkPath() + ": port lost\n"), qPrintable(run.out));
        QVERIFY2(run.out.contains(resetting.linkPath() + ": IAP Checksum right\n"), qPrintable(run.out));
        QVERIFY2(lastRunMs(journal, pulled.linkPath()) < 30000, qPrintable(QString::number(lastRunMs(journal, pulled.linkPath()))));
    }

    // A device that talks without moving the operation on is timed out, before its command (a
    // stream without a pause) as after it (replies that answer nothing).
    void chatterIsNoProgress_data()
    {
        QTest::addColumn<bool>("beforeTheCommand");
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("before the command") << true << 10;
        QTest::newRow("after the command") << false << 40;
    }
    void chatterIsNoProgress()
    {
        QFETCH(bool, beforeTheCommand);
        QFETCH(int, pauseMs);
        QTemporaryDir files;
        Pty device;
        QVERIFY(writeFile(files.filePath("app.bin"), pattern(100, 9)));
        const QString journal = files.filePath("journal.sqlite");
        Background run({"download", "--port", device.path(), "--timeout", "2", "--address", "08004000", "--journal", journal, files.filePath("app.bin")});
        QVERIFY(beforeTheCommand || device.read(19).startsWith("Erase"));
        QTimer chatter;
        // A loaded machine may hold this test up between two bursts long enough for a quiet line:
        // the longest pause is what the program may have taken for one.
        QElapsedTimer sinceBurst;
        qint64 longestPauseMs = 0;
        QObject::connect(&chatter, &QTimer::timeout, [&] {
            longestPauseMs = std::max(longestPauseMs, sinceBurst.restart());
            device.write("~~~");
        });
        sinceBurst.start();
        chatter.start(pauseMs);
        QVERIFY(waitUntil([&] { return run.process.state() == QProcess::NotRunning; }, ProgramMs));
        QCOMPARE(run.process.exitCode(), 3);
        // The 2 s given, not the 5 s of the default, counted once; a loaded machine adds up to a
        // second or two of opening and reading around them.
        QVERIFY2(lastRunMs(journal, device.path()) < 4000, qPrintable(QString::number(lastRunMs(journal, device.path()))));
        const bool commandSent = !beforeTheCommand || device.read(5, 0).startsWith("Erase");
        QVERIFY2(!commandSent || !beforeTheCommand || longestPauseMs >= 40, qPrintable(QString("sent after a pause of %1 ms").arg(longestPauseMs)));
        const QString awaited = commandSent ? "the erase report" : "the device to stop sending";
        QVERIFY(run.process.readAllStandardOutput().contains(("No reply from the device for 2 s while waiting for " + awaited).toUtf8()));
    }

    // The image is taken once: replaced once its first page is out, as an editor or
    // `cp new t && mv t app.bin` replaces it, it changes nothing of the run.
    void imageReplacedInMidTransfer()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device({"--program-ms", "300"});
        const QByteArray first = pattern(3 * PageBytes, 11);
        const QString path = files.filePath("app.bin");
        QVERIFY(device.start() && writeFile(path, first) && writeFile(path + ".new", pattern(3 * PageBytes, 12)));
        Background run({"download", "--json", "--port", device.linkPath(), "--address", "08004000", path});
        QVERIFY(device.waitForLog(QStringLiteral(" RX PAGE 0 ")));
        QCOMPARE(std::rename(qPrintable(path + ".new"), qPrintable(path)), 0);
        QVERIFY(run.process.waitForFinished(ProgramMs));
        QCOMPARE(run.process.exitCode(), 0);
        QVERIFY(run.process.readAllStandardOutput().contains("\"sha256\":\"" + QCryptographicHash::hash(first, QCryptographicHash::Sha256).toHex() + '"'));
        QCOMPARE(device.flash(Address, 4 * PageBytes), pagesOf(first).join());
    }

    // A read given up leaves the device streaming the rest of its pages: the runs that follow
    // wait until it is done, take none of it for a reply, and go right.
    void runsAfterAnAbandonedRead()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        // Long enough a stream that what is left of it outlasts the end of one program and the
        // start of the next on a loaded machine.
        const QByteArray flash = pattern(48 * PageBytes, 13), app = pattern(5000, 14);
        const QByteArray slot = QByteArray("Flash Write") + bigEndian(0x08010000) + pattern(PageBytes + 100, 16);
        VirtualDevice device;
        QVERIFY(writeFile(device.imagePath(), flash) && device.start() && writeFile(files.filePath("app.bin"), app));
        QVERIFY(writeFile(files.filePath("slot.flash"), slot));
        const QStringList read{"read", "--json", "--port", device.linkPath(), "--address", "08000000", "-o", files.filePath("read.bin"), "--pages"};
        Background abandoned(read + QStringList{"48"});
        QVERIFY(abandoned.waitForOutput("\"event\":\"page\""));
        ::kill(pid_t(abandoned.process.processId()), SIGINT);
        QVERIFY(abandoned.process.waitForFinished(ProgramMs));
        QFile::remove(files.filePath("read.bin"));
        const Finished next = cli(read + QStringList{"2", "--timeout", "30"});
        QVERIFY(next.out.contains("Waiting for the device to stop sending"));
        // A virtual device the machine held up in mid-stream longer than a quiet line has ended
        // its stream for the tool, as a real device never would: then the read may fail, never
        // with a file.
        if (next.exit != 0 && heldUpLongerThanAQuietLine(device)) {
            QVERIFY(!QFile::exists(files.filePath("read.bin")));
            qWarning("the virtual device was held up in mid-stream: the read after it is not judged");
        } else {
            QCOMPARE(next.exit, 0);
            QCOMPARE(readFile(files.filePath("read.bin")), flash.left(2 * PageBytes));
        }
        QCOMPARE(cli({"download", "--port", device.linkPath(), "--address", "08004000", files.filePath("app.bin")}).exit, 0);
        QCOMPARE(cli({"write", "--port", device.linkPath(), files.filePath("slot.flash")}).exit, 0);
        QCOMPARE(device.flash(Address, 3 * PageBytes), pagesOf(app).join());
        QCOMPARE(device.flash(0x08010000, PageBytes), pagesOf(slot).value(1));
    }

    // Each thing that stands in the way, with the command that mends it; nothing on a clean machine.
    void doctor_data()
    {
        QTest::addColumn<MachineChange>("fault");
        QTest::addColumn<QString>("fix");
        QTest::newRow("clean") << MachineChange([](FakeMachine&) {}) << "";
        QTest::newRow("no port") << MachineChange([](FakeMachine& m) { m.listed.clear(); }) << "plug in the adapter";
        QTest::newRow("not in dialout") << MachineChange([](FakeMachine& m) { m.openable = false; }) << "sudo usermod -aG dialout $USER";
        QTest::newRow("the machine's own port, the rule in place") << MachineChange([](FakeMachine& m) {
            m.listed = {iap::PortInfo(QStringLiteral("ttyS0"), QStringLiteral("/dev/ttyS0"))};
            m.openable = false, m.rule = QStringLiteral("/lib/udev/rules.d/60-iap.rules");
        }) << "sudo usermod -aG dialout $USER";
        QTest::newRow("joined since the login") << MachineChange([](FakeMachine& m) { m.openable = false, m.recorded = true; }) << "log out and in again";
        QTest::newRow("brltty") << MachineChange([](FakeMachine& m) { m.brltty << "/usr/lib/udev/rules.d/85-brltty.rules"; }) << "sudo apt remove brltty";
        QTest::newRow("ModemManager") << MachineChange([](FakeMachine& m) { m.modemManager = true; }) << "sudo systemctl disable --now ModemManager";
        QTest::newRow("an FTDI adapter's latency") << MachineChange([](FakeMachine& m) { m.latencyMs = 2; }) << "echo 1 | sudo tee /sys/class/tty/ttyUSB0/device/latency_timer";
        QTest::newRow("a shared folder") << MachineChange([](FakeMachine& m) { m.folderPrivate = false; }) << "chmod 700 /run/user/1000/iap-ports";
    }
    void doctor()
    {
        QFETCH(MachineChange, fault);
        QFETCH(QString, fix);
        FakeMachine machine;
        fault(machine);
        const auto diagnosis = iap::cli::Diagnosis::of(machine);
        QCOMPARE(diagnosis.clean(), fix.isEmpty());
        QVERIFY2(fix.isEmpty() ? diagnosis.report().endsWith("Nothing stands in the way.\n") : diagnosis.report().contains("  fix: " + fix),
                 qPrintable(diagnosis.report()));
    }

    // A port the user may not open: never the advice to join a group that cannot open it, nor
    // root's group, nor dialout where the package's udev rule gives adapters out; what helps.
    void doctorAdvisesNoUselessGroup_data()
    {
        QTest::addColumn<MachineChange>("setup");
        QTest::addColumn<QStringList>("fixes");
        const auto usbAdapter = [](FakeMachine& m) { m.listed.front().onUsb(0x0403, 0x6001, QString()); };
        QTest::newRow("root's serial port") << MachineChange([](FakeMachine& m) {
            m.listed = {iap::PortInfo(QStringLiteral("ttyS0"), QStringLiteral("/dev/ttyS0"))};
            m.group = QStringLiteral("root"), m.mode = 0600;
        }) << QStringList{"belongs to the user root and the group root with mode 0600",
                          R"(echo 'KERNEL=="ttyS0", TAG+="uaccess"' | sudo tee /etc/udev/rules.d/60-iap-ttyS0.rules)",
                          "sudo setfacl -m u:tech:rw /dev/ttyS0"};
        QTest::newRow("root's USB adapter") << MachineChange([=](FakeMachine& m) { usbAdapter(m), m.group = QStringLiteral("root"), m.mode = 0660; })
                                            << QStringList{"install the iap package: its udev rule /lib/udev/rules.d/60-iap.rules",
                                                           "sudo setfacl -m u:tech:rw /dev/ttyUSB0"};
        QTest::newRow("a group that may not open it") << MachineChange([=](FakeMachine& m) { usbAdapter(m), m.mode = 0640; })
                                                      << QStringList{"with mode 0640", "install the iap package"};
        QTest::newRow("the package's rule in place")
            << MachineChange([=](FakeMachine& m) { usbAdapter(m), m.rule = QStringLiteral("/lib/udev/rules.d/60-iap.rules"), m.modemManager = true; })
            << QStringList{"plug the adapter in again: the udev rule /lib/udev/rules.d/60-iap.rules", "sudo setfacl -m u:tech:rw /dev/ttyUSB0",
                           "ok: ModemManager is running, and the udev rule"};
    }
    void doctorAdvisesNoUselessGroup()
    {
        QFETCH(MachineChange, setup);
        QFETCH(QStringList, fixes);
        FakeMachine machine;
        machine.openable = false;
        setup(machine);
        const QString report = iap::cli::Diagnosis::of(machine).report();
        QVERIFY2(!report.contains("usermod") && !report.contains("systemctl"), qPrintable(report));
        for (const QString& fix : fixes)
            QVERIFY2(report.contains(fix), qPrintable(report));
    }

    // A signal in mid-transfer: nothing more goes out, the port is let go at once and no file is written.
    void signalStopsTheRun_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("command");
        QTest::newRow("Ctrl-C") << SIGINT << "download";
        QTest::newRow("SIGTERM") << SIGTERM << "read";
        QTest::newRow("SIGHUP") << SIGHUP << "read";
    }
    void signalStopsTheRun()
    {
        QFETCH(int, signalNumber);
        QFETCH(QString, command);
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device({"--model", "VR200"});
        QVERIFY(device.start() && writeFile(files.filePath("app.bin"), pattern(16 * PageBytes, 8)));
        const QStringList what = command == "read" ? QStringList{"--pages", "16", "-o", files.filePath("read.bin")} : QStringList{files.filePath("app.bin")};
        Background run(QStringList{command, "--json", "--port", device.linkPath(), "--model", "VR200", "--address", "08004000"} + what);
        QVERIFY(run.waitForOutput("\"event\":\"page\""));
        ::kill(pid_t(run.process.processId()), signalNumber);
        QVERIFY(run.process.waitForFinished(ProgramMs));
        QCOMPARE(run.process.exitCode(), 128 + signalNumber);
        QVERIFY(device.waitForLog(QStringLiteral("INFO port closed")));
        QVERIFY(device.logCount(QStringLiteral(" RX PAGE ")) <= 3);
        QVERIFY(!QFile::exists(files.filePath("read.bin")));
    }

    // A reader of the output that goes away after the first line stops nothing.
    void readerGoingAway()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device(fast());
        const QByteArray app = pattern(5 * PageBytes, 15);
        QVERIFY(device.start() && writeFile(files.filePath("app.bin"), app));
        QProcess shell;
        shell.start("bash", {"-c", "set -o pipefail; \"$0\" \"$@\" | head -n 1", IAP_CLI_PATH, "download", "--json", "--port", device.linkPath(),
                             "--address", "08004000", files.filePath("app.bin")});
        QVERIFY(shell.waitForFinished(ProgramMs));
        QCOMPARE(shell.exitCode(), 0);
        QCOMPARE(device.flash(Address, 6 * PageBytes), pagesOf(app).join());
    }

    void journal_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("out");
        QTest::newRow("failures, a table") << QStringList{"--result", "fail"} << 0
                                           << "Started (UTC)        Port     Command   Result          Time   Version  Images\n"
                                              "2024-05-31 11:00:00  ttyUSB1  download  checksum error  0.0 s\n";
        QTest::newRow("since, CSV") << QStringList{"--since", "2024-05-31T10:00:00.001", "--csv"} << 0
                                    << "started,ended,host,command,socket,port,path,byPath,usbId,serial,model,address,bootloaderVersion,pass,result,"
                                       "category,durationMs,steps,boardSerial,uniqueValues,barcode,job,jobSha256,uuid,eraseMs,pagesMs,verifyMs,image\r\n2024-05-31T11:00:00.000Z,"
                                       "2024-05-31T11:00:00.000Z,,download,,ttyUSB1,,,,,,,,false,\"sum\nwrong\",checksum error,0,[],,{},,,,,0,0,0,\r\n";
        QTest::newRow("a time that is none") << QStringList{"--since", "noon"} << 2 << "";
        QTest::newRow("an unreachable journal") << QStringList{"--journal", "postgresql://iap@127.0.0.1:1/line"} << 2 << "";
        QTest::newRow("a journal that does not exist") << QStringList{"--journal", "@missing/journal.sqlite"} << 2 << "";
        QTest::newRow("a journal file that does not exist") << QStringList{"--journal", "@typo.sqlite"} << 2 << "";
        QTest::newRow("the outbox of a journal that does not exist") << QStringList{"--undelivered", "--journal", "@typo.sqlite"} << 2 << "";
    }
    void journal()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir data;
        const DataHome dataHome(data.path());
        for (int port : {0, 1}) {
            iap::JournalRecord r;
            r.started = r.ended = QDateTime(QDate(2024, 5, 31), QTime(10 + port, 0), Qt::UTC);
            std::tie(r.command, r.port, r.pass, r.category, r.result) =
                std::tuple("download", QString("ttyUSB%1").arg(port), port == 0, port ? "checksum error" : "right", port ? "sum\nwrong" : "");
            QCOMPARE(iap::Journal().records().append(r), QString());
        }
        arguments.replaceInStrings("@", data.path() + "/");
        const Finished run = cli(QStringList{"journal"} + arguments);
        QVERIFY(!QFileInfo::exists(data.filePath("missing")) && !QFileInfo::exists(data.filePath("typo.sqlite")));
        QTEST(run.exit, "exit");
        QTEST(run.out, "out");
    }
};

IAP_TEST_GUILESS_MAIN_IN_PARTS(CliTest)
#include "tst_cli.moc"
