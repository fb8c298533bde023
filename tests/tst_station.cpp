// The production station end to end against virtual devices that are plugged in, programmed and
// taken out: iap-cli station and its journal, and the station window with its tiles.
#include "Device.h"
#include "DirectSql.h"
#include "FakeDesktop.h"
#include "Files.h"
#include "Program.h"
#include "Pty.h"
#include "RuntimeDir.h"
#include "TestParts.h"
#include "Wait.h"
#include "journal/Journal.h"
#include "journal/OutboxOutput.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QUuid>

#include <csignal>
#include <functional>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

#include "StationOptions.h"
#include "StationWindow.h"

using namespace iap::test;

namespace {

constexpr int RoundMs = 20000;

// A board that is taken out after each verified round and a fresh one put in.
QStringList replugged(const QString& version)
{
    return fast({"--replug-after-round", "--replug-delay-ms", "300", "--bootloader-version", version});
}

// iap-cli in the background, its output gathered line by line.
struct Cli {
    explicit Cli(const QStringList& arguments, const QString& workingFolder = {})
    {
        process.setWorkingDirectory(workingFolder);
        process.start(QStringLiteral(IAP_CLI_PATH), arguments);
    }
    ~Cli()
    {
        process.kill();
        process.waitForFinished();
    }
    QList<QJsonObject> events()
    {
        out += process.readAllStandardOutput();
        QList<QJsonObject> parsed;
        for (const QByteArray& line : out.split('\n'))
            if (!line.isEmpty())
                parsed << QJsonDocument::fromJson(line).object();
        return parsed;
    }
    QList<QJsonObject> rounds(const QString& port)
    {
        QList<QJsonObject> found;
        for (const QJsonObject& event : events())
            if (event["event"] == "round" && event["port"] == port)
                found << event;
        return found;
    }
    int interrupt()
    {
        ::kill(pid_t(process.processId()), SIGINT);
        return process.waitForFinished(RoundMs) && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QProcess process;
    QByteArray out;
};

QString sha256Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// A program's exit status and everything it wrote, when it ends within the bound.
std::pair<int, QString> finished(const QString& program, const QStringList& arguments)
{
    const Finished run = runProgram(program, arguments, RoundMs);
    return {run.exit, run.out + run.err};
}

// Clicks the middle of the control where a person would: the click goes to whatever the window
// shows there.
void clickOn(QWidget& window, QWidget* control)
{
    const QPoint at = control->mapTo(&window, control->rect().center());
    QWidget* shown = window.childAt(at);
    QTest::mouseClick(shown, Qt::LeftButton, {}, shown->mapFrom(&window, at));
}

QList<QJsonObject> journalRecords(const QString& location, const QStringList& filter = {})
{
    QList<QJsonObject> records;
    for (const QString& line : runProgram(QStringLiteral(IAP_CLI_PATH), QStringList{"journal", "--journal", location, "--json"} + filter, RoundMs).out.split(u'\n'))
        if (!line.isEmpty())
            records << QJsonDocument::fromJson(line.toUtf8()).object();
    return records;
}

}  // namespace

class StationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(data.isValid() && QDir(data.path()).mkpath("jobs") && QDir(data.path()).mkpath("window"));
        qputenv("XDG_DATA_HOME", data.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", data.filePath("config").toUtf8());
    }

    void socketsFollowTheirBoardsOnRecord_data()
    {
        QTest::addColumn<QString>("journal");
        QTest::newRow("SQLite") << data.filePath("line.sqlite");
        if (qEnvironmentVariableIsSet("IAP_TEST_POSTGRES_URL"))
            QTest::newRow("PostgreSQL") << qEnvironmentVariable("IAP_TEST_POSTGRES_URL");
    }
    // Three sockets at once: one passes each board put in, one fails, one loses its board in the
    // middle of the round. Each round is on record, as it ended.
    void socketsFollowTheirBoardsOnRecord()
    {
        QFETCH(QString, journal);
        RuntimeDir runtime;
        VirtualDevice good(replugged("A{n}")), bad(fast({"--wrong-sum"})), pulled(fast({"--program-ms", "100", "--replug-delay-ms", "60000"}));
        QVERIFY(good.start() && bad.start() && pulled.start());
        const QByteArray app = pattern(10 * PageBytes, 5);
        const QString appFile = data.filePath("app.bin"), slotFile = data.filePath("slot.flash");
        QVERIFY(writeFile(appFile, app));
        QVERIFY(writeFile(slotFile, QByteArray("Flash Write") + bigEndian(0x08040000) + pattern(PageBytes - 15, 6) + pattern(100, 7)));
        const QString started = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);

        Cli station({"station", "--port", good.linkPath(), "--port", bad.linkPath(), "--port", pulled.linkPath(), "--address", "08004000", "--slot0", slotFile,
                     "--app", appFile, "--journal", journal, "--json"});
        QVERIFY(pulled.waitForLog("RX PAGE 2 "));
        QVERIFY(pulled.signal(SIGUSR1));
        QVERIFY(waitUntil([&] { return station.rounds(good.linkPath()).size() == 2 && !station.rounds(pulled.linkPath()).isEmpty(); }, RoundMs));
        QCOMPARE(station.rounds(bad.linkPath()).size(), 1);
        QCOMPARE(station.interrupt(), 1);

        const auto goodRounds = station.rounds(good.linkPath());
        QCOMPARE(goodRounds[0]["pass"], true);
        QCOMPARE(goodRounds[1]["version"], "A2");
        QCOMPARE(station.rounds(bad.linkPath())[0]["text"], "Write Checksum error");
        QCOMPARE(station.rounds(pulled.linkPath())[0]["text"], "board removed");
        QVERIFY(station.events().last()["event"] == "summary");

        const QList<QJsonObject> records = journalRecords(journal, {"--since", started});
        QCOMPARE(records.size(), 4);
        std::map<QString, QStringList> seen;
        for (const QJsonObject& record : records) {
            QCOMPARE(record["command"], "station");
            const QString socket = record["socket"].toString();
            seen[socket] << record["category"].toString() + ' ' + record["bootloaderVersion"].toString();
            if (!record["pass"].toBool())
                QCOMPARE(record["result"], station.rounds(socket).first()["text"]);
            const QJsonArray steps = record["steps"].toArray();
            QCOMPARE(steps.first()["kind"], "flash write");
            QCOMPARE(steps.first()["sha256"], sha256Hex(readFile(slotFile)));
            if (record["pass"].toBool()) {
                QCOMPARE(steps.last()["kind"], "download");
                QCOMPARE(steps.last()["sha256"], sha256Hex(app));
            }
        }
        QCOMPARE(seen[good.linkPath()], (QStringList{"right A1", "right A2"}));
        QCOMPARE(seen[bad.linkPath()].join(""), QString("checksum error V2.31"));
        QCOMPARE(seen[pulled.linkPath()].join(""), QString("board removed V2.31"));
    }

    // Boards swapped faster than the station looks at the socket (a station held up by a busy
    // machine misses a swap just the same): each new board is still a board put in.
    void swapFasterThanALook()
    {
        RuntimeDir runtime;
        VirtualDevice boards(fast({"--replug-after-round", "--replug-delay-ms", "0", "--bootloader-version", "B{n}"}));
        QVERIFY(boards.start() && writeFile(data.filePath("swap.bin"), pattern(PageBytes, 8)) && writeFile(data.filePath("swap.flash"), pattern(100, 9)));
        Cli station({"station", "--port", boards.linkPath(), "--address", "08004000", "--slot0", data.filePath("swap.flash"), "--app",
                     data.filePath("swap.bin"), "--json"});
        QVERIFY2(waitUntil([&] { return station.rounds(boards.linkPath()).size() >= 3; }, 3 * RoundMs), station.out.constData());
        for (int board = 0; board < 3; ++board)
            QCOMPARE(station.rounds(boards.linkPath())[board]["version"].toString(), QStringLiteral("B%1").arg(board + 1));
    }

    void eachTriggerFollowsItsBoards_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QStringList>("fixture");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("appear") << "appear" << QStringList{"--replug-delay-ms", "300"} << QStringList{};
        QTest::newRow("line") << "line" << QStringList{"--fixture", "--switch", "dsr", "--replug-delay-ms", "300"} << QStringList{"--switch", "dsr"};
        // Nothing else may talk while a round does: a board taken out is told by the round's
        // reply timeout and a probe unanswered, and the next one must come after that.
        QTest::newRow("probe") << "probe" << QStringList{"--fixture", "--replug-delay-ms", "4000"}
                               << QStringList{"--probe-address", "08000000", "--probe-ms", "300", "--timeout", "2"};
    }
    // Three sockets on one trigger: one board after another passes, one board is swapped during
    // its round, one fails and stays. The swapped board's round ends as "board removed", on record
    // as such, and the next board is programmed; a board that stays gets no second round, and a
    // probe only ever reads one page.
    void eachTriggerFollowsItsBoards()
    {
        QFETCH(QString, trigger);
        QFETCH(QStringList, fixture);
        QFETCH(QStringList, options);
        RuntimeDir runtime;
        // Taken out as soon as its last reply has been read: what it sent still counts.
        VirtualDevice passing(fast(fixture + QStringList{"--replug-after-round", "--reply-gap-ms", "5", "--bootloader-version", "A{n}"}));
        VirtualDevice swapped(fast(fixture + QStringList{"--program-ms", "100", "--bootloader-version", "B{n}"}));
        VirtualDevice failing(fast(fixture + QStringList{"--wrong-sum", "--bootloader-version", "C{n}"}));
        QVERIFY(passing.start() && swapped.start() && failing.start());
        const QByteArray app = pattern(10 * PageBytes, 3);
        const QString appFile = data.filePath("app.bin"), slotFile = data.filePath("slot.flash"), journal = data.filePath(trigger + ".sqlite");
        QVERIFY(writeFile(appFile, app));
        QVERIFY(writeFile(slotFile, QByteArray("Flash Write") + bigEndian(0x08040000) + pattern(PageBytes - 15, 6) + pattern(100, 7)));

        Cli station(QStringList{"station", "--trigger", trigger, "--port", passing.linkPath(), "--port", swapped.linkPath(), "--port", failing.linkPath(),
                                "--address", "08004000", "--slot0", slotFile, "--app", appFile, "--journal", journal, "--json"}
                    + options);
        QVERIFY(swapped.waitForLog("RX PAGE 2 "));
        QVERIFY(swapped.signal(SIGUSR1));
        QVERIFY(waitUntil([&] { return station.rounds(passing.linkPath()).size() >= 2 && station.rounds(swapped.linkPath()).size() == 2; }, 2 * RoundMs));
        QCOMPARE(station.interrupt(), 1);

        const auto told = [&](const VirtualDevice& device) {
            QStringList texts;
            for (const QJsonObject& round : station.rounds(device.linkPath()))
                texts << round["text"].toString() + ' ' + round["version"].toString();
            return texts;
        };
        QCOMPARE(told(passing).mid(0, 2), (QStringList{"IAP Checksum right A1", "IAP Checksum right A2"}));
        QCOMPARE(told(swapped), (QStringList{"board removed B1", "IAP Checksum right B2"}));
        QCOMPARE(told(failing), QStringList{"Write Checksum error C1"});
        QCOMPARE(swapped.flash(0x08004000, app.size()), app);
        const QList<QJsonObject> records = journalRecords(journal, {"--port", swapped.linkPath()});
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0]["result"], "board removed");
        QCOMPARE(records[0]["category"], "board removed");
        QCOMPARE(records[1]["category"], "right");
        // The board that stayed got its one round, a slot write of one page, and else only probes.
        QList<QByteArray> frames = failing.receivedFrames();
        QCOMPARE(frames.removeAll(readCommand(0x08000000, 1)) > 0, trigger == "probe");
        QCOMPARE(frames.size(), 2);
        QVERIFY(frames[0].startsWith("Flash Write"));
    }

    // Continuous: a round after each rest while the board stays. The job comes from a file that
    // names its image beside it; the address given on the command line wins over the file's.
    void continuousRoundsFromAJobFile()
    {
        RuntimeDir runtime;
        VirtualDevice device(fast());
        QVERIFY(device.start());
        const QByteArray app = pattern(3 * PageBytes, 7);
        QVERIFY(writeFile(data.filePath("jobs/app.bin"), app));
        QVERIFY(writeFile(data.filePath("jobs/job.json"), R"({"model": "HX300", "address": "08000000", "application": "app.bin"})"));

        Cli station({"station", "--port", device.linkPath(), "--job", data.filePath("jobs/job.json"), "--address", "08004000", "--continuous", "1", "--json"});
        QVERIFY(waitUntil([&] { return station.rounds(device.linkPath()).size() == 3; }, 3 * RoundMs));
        QCOMPARE(station.interrupt(), 0);
        for (const QJsonObject& round : station.rounds(device.linkPath()))
            QCOMPARE(round["pass"], true);
        QCOMPARE(device.flash(0x08004000, app.size()), app);
        QCOMPARE(station.events().last()["passes"], 3);
    }

    void unreachableJournalStartsNothing_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("journal");
        QTest::newRow("station, no server") << "station" << "postgresql://iap@127.0.0.1:1/line";
        QTest::newRow("download, no server") << "download" << "postgresql://iap@127.0.0.1:1/line";
        QTest::newRow("station, no folder") << "station" << "/proc/no/journal.sqlite";
    }
    void unreachableJournalStartsNothing()
    {
        QFETCH(QString, command);
        QFETCH(QString, journal);
        RuntimeDir runtime;
        VirtualDevice device(fast());
        QVERIFY(device.start());
        QVERIFY(writeFile(data.filePath("small.bin"), pattern(100)));
        QStringList arguments{command, "--port", device.linkPath(), "--address", "08004000", "--journal", journal};
        arguments << (command == "station" ? QStringList{"--app", data.filePath("small.bin")} : QStringList{data.filePath("small.bin")});
        QProcess cli;
        cli.start(QStringLiteral(IAP_CLI_PATH), arguments);
        QVERIFY(cli.waitForFinished(RoundMs));
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY(cli.readAllStandardError().contains("journal"));
        QVERIFY(device.receivedFrames().isEmpty());
    }

    // A round whose record the journal refuses, once the round has begun, is not a pass, whatever
    // the board said: iap-cli download and program exit 2, a station's round fails.
    void aRoundOffTheRecordFails()
    {
        RuntimeDir runtime;
        VirtualDevice device(fast());
        QVERIFY(device.start());
        const QString journal = data.filePath("refusing.sqlite"), small = data.filePath("small.bin");
        QVERIFY(writeFile(small, pattern(100)) && iap::Journal(journal).check().isEmpty());
        // Every run's record is refused; the record that proves the journal writable is not.
        QVERIFY(DirectSql(journal).run("CREATE TRIGGER refuse BEFORE INSERT ON iap_journal WHEN NEW.command <> '' BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        const QStringList onDevice{"--port", device.linkPath(), "--address", "08004000", "--journal", journal};
        for (const QStringList& command : {QStringList{"download", small}, QStringList{"program", "--app", small}}) {
            const auto [exit, text] = finished(IAP_CLI_PATH, command + onDevice);
            QVERIFY2(exit == 2 && text.contains(": the journal could not be written: ") && text.contains("disk full"), qPrintable(text));
        }

        Cli station(QStringList{"station", "--app", small, "--json"} + onDevice);
        QVERIFY(waitUntil([&] { return !station.rounds(device.linkPath()).isEmpty(); }, RoundMs));
        const QJsonObject round = station.rounds(device.linkPath()).first();
        QCOMPARE(round["pass"], false);
        QVERIFY(round["text"].toString().startsWith("the journal could not be written: "));
        QVERIFY(round["text"].toString().contains("disk full"));
        QCOMPARE(station.interrupt(), 1);
    }

    // A journal that can be read but not written is found out before anything is sent. A disk
    // that fills while the station runs keeps the next round from starting, until there is room.
    void unwritableJournalSendsNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("immutable file") << "immutable";
        QTest::newRow("full disk") << "full";
    }
    void unwritableJournalSendsNothing()
    {
        QFETCH(QString, kind);
        if (geteuid() != 0)
            QSKIP("an immutable file and a disk of its own need root");
        RuntimeDir runtime;
        QTemporaryDir place;
        VirtualDevice device(fast());
        QVERIFY(device.start() && writeFile(data.filePath("small.bin"), pattern(100)));
        const QString disk = place.filePath("disk"), journal = disk + "/journal.sqlite", filler = disk + "/filler";
        const auto fill = [&filler] { return writeFile(filler, QByteArray(3584 * 1024, 'x')); };
        QVERIFY(QDir().mkpath(disk));
        struct Undo {
            std::function<void()> step;
            ~Undo() { step(); }
        } undo{[] {}};
        if (kind == "full") {
            if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=4m", "tmpfs", disk}) != 0)
                QSKIP("no disk of its own can be mounted here");
            undo.step = [disk] { QProcess::execute("umount", {disk}); };
        }
        QCOMPARE(iap::Journal(journal).check(), QString());
        if (kind == "full") {
            QVERIFY(fill());
        } else {
            if (QProcess::execute("chattr", {"+i", journal}) != 0)
                QSKIP("no file can be made immutable here");
            undo.step = [journal] { QProcess::execute("chattr", {"-i", journal}); };
        }

        const QStringList job{"--port", device.linkPath(), "--address", "08004000", "--journal", journal};
        for (const QStringList& command : {QStringList{"download", data.filePath("small.bin")}, QStringList{"station", "--app", data.filePath("small.bin")}}) {
            QProcess cli;
            cli.start(QStringLiteral(IAP_CLI_PATH), command + job);
            QVERIFY(cli.waitForFinished(RoundMs));
            QCOMPARE(cli.exitCode(), 2);
            QVERIFY(cli.readAllStandardError().contains("cannot be written"));
        }
        QVERIFY(device.receivedFrames().isEmpty());
        if (kind != "full")
            return;

        QVERIFY(QFile::remove(filler));
        Cli station(QStringList{"station", "--app", data.filePath("small.bin"), "--continuous", "1", "--json"} + job);
        QVERIFY(waitUntil([&] { return station.rounds(device.linkPath()).size() == 1; }, RoundMs));
        QVERIFY(fill());
        QVERIFY(waitUntil([&] { return !station.events().isEmpty() && station.events().last()["event"] == "refused"; }, RoundMs));
        QVERIFY(station.events().last()["text"].toString().contains("cannot be written: its disk has"));
        const qsizetype sent = device.receivedFrames().size();
        QCOMPARE(station.rounds(device.linkPath()).size(), 1);
        QVERIFY(QFile::remove(filler));
        QCOMPARE(device.receivedFrames().size(), sent);
        QVERIFY(waitUntil([&] { return station.rounds(device.linkPath()).size() == 2; }, RoundMs));
        QCOMPARE(station.rounds(device.linkPath()).last()["pass"], true);
        QCOMPARE(station.interrupt(), 0);
    }

    // A job file holds the keys a job has, each of its type and value, or loads nothing; a FIFO is
    // no file. The station's options are checked as strictly.
    void badJobFileLoadsNothing_data()
    {
        QTest::addColumn<QByteArray>("job");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("text");
        const QByteArray good(R"({"model": "HX300", "address": "08004000", "application": "app.bin"})");
        QTest::newRow("a key misspelt") << QByteArray(R"({"model": "HX300", "address": "08004000", "app": "app.bin"})") << QStringList()
                                        << "job.json: \"app\" is no key of a job";
        QTest::newRow("verify in quotes") << QByteArray(R"({"model": "HX300", "address": "08004000", "application": "app.bin", "verify": "true"})")
                                          << QStringList() << "job.json: \"verify\" must be true or false";
        QTest::newRow("a list for a file") << QByteArray(R"({"model": "HX300", "address": "08004000", "slot0": ["a.flash"], "application": "app.bin"})")
                                           << QStringList() << "job.json: \"slot0\" must be a text";
        QTest::newRow("a number for a target") << QByteArray(R"({"model": "HX300", "application": "app.bin", "deliver": ["dir:/srv", 5]})") << QStringList()
                                               << "job.json: \"deliver\" must be a text in quotes or a list of them";
        QTest::newRow("a FIFO") << QByteArray() << QStringList() << "job.json is not a job file: it is not a regular file";
        QTest::newRow("a trigger unknown") << QByteArray(R"({"model": "HX300", "application": "app.bin", "trigger": "door"})") << QStringList()
                                           << "job.json: the trigger must be appear, probe or line";
        QTest::newRow("a period in quotes") << QByteArray(R"({"model": "HX300", "application": "app.bin", "probeMs": "1000"})") << QStringList()
                                            << "job.json: \"probeMs\" must be a whole number of milliseconds from 100 to 60000";
        QTest::newRow("an output for a switch") << QByteArray(R"({"model": "HX300", "application": "app.bin", "switch": "rts"})") << QStringList()
                                                << "job.json: the switch must be cts, dsr, dcd or ri";
        QTest::newRow("a barcode in quotes") << QByteArray(R"({"model": "HX300", "application": "app.bin", "barcode": "yes"})") << QStringList()
                                             << "job.json: \"barcode\" must be true or false";
        QTest::newRow("--trigger unknown") << good << QStringList{"--trigger", "door"} << "--trigger must be appear, probe or line, not door";
        QTest::newRow("--probe-ms 0") << good << QStringList{"--trigger", "probe", "--probe-ms", "0"}
                                      << "--probe-ms 0 is not a whole number of milliseconds from 100 to 60000";
        QTest::newRow("--switch rts") << good << QStringList{"--trigger", "line", "--switch", "rts"} << "--switch must be a modem-status input";
        QTest::newRow("a probe without an address") << QByteArray(R"({"model": "HX300", "application": "app.bin"})") << QStringList{"--trigger", "probe"}
                                                    << "the probe trigger reads a page of flash: give --probe-address or --address";
    }
    void badJobFileLoadsNothing()
    {
        QFETCH(QByteArray, job);
        QFETCH(QStringList, arguments);
        QFETCH(QString, text);
        RuntimeDir runtime;
        QTemporaryDir folder;
        VirtualDevice device(fast());
        QVERIFY(device.start() && writeFile(folder.filePath("app.bin"), pattern(100)));
        const QString path = folder.filePath("job.json");
        QVERIFY(job.isEmpty() ? ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 : writeFile(path, job));
        QProcess cli;
        cli.start(QStringLiteral(IAP_CLI_PATH), QStringList{"station", "--port", device.linkPath(), "--job", path} + arguments);
        QVERIFY(cli.waitForFinished(RoundMs));
        QCOMPARE(cli.exitCode(), 2);
        const QString errors = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(errors.contains(text), qPrintable(errors));
        QVERIFY(device.receivedFrames().isEmpty());
    }

    // A pinned job runs the images it was released with or nothing: pinning keeps the job's other
    // keys, an image changed by one byte is refused before anything is sent, and the job pinned
    // again runs.
    void pinnedJob()
    {
        RuntimeDir runtime;
        QTemporaryDir folder;
        VirtualDevice device(fast());
        QVERIFY(device.start());
        const QByteArray slot = QByteArray("Flash Write") + bigEndian(0x08040000) + pattern(PageBytes - 15, 6) + pattern(100, 7);
        QByteArray app = pattern(PageBytes, 8);
        const QString job = folder.filePath("line3.json"), appFile = folder.filePath("app.bin");
        const QJsonObject unpinned{{"model", "HX300"}, {"address", "08004000"}, {"slot0", "boot.flash"}, {"application", "app.bin"}, {"probeMs", 500}};
        QVERIFY(writeFile(job, QJsonDocument(unpinned).toJson()) && writeFile(appFile, app));
        auto [exit, text] = finished(IAP_CLI_PATH, {"job", "pin", job});
        QVERIFY2(exit == 2 && text.contains(folder.filePath("boot.flash")), qPrintable(text));
        QCOMPARE(readFile(job), QJsonDocument(unpinned).toJson());

        QVERIFY(writeFile(folder.filePath("boot.flash"), slot));
        std::tie(exit, text) = finished(IAP_CLI_PATH, {"job", "pin", job});
        QCOMPARE(exit, 0);
        QCOMPARE(text, QString("%1: pinned slot0 boot.flash %2, application app.bin %3\n").arg(job, sha256Hex(slot), sha256Hex(app)));
        QJsonObject pinned = unpinned;
        pinned["sha256"] = QJsonObject{{"slot0", sha256Hex(slot)}, {"application", sha256Hex(app)}};
        QCOMPARE(QJsonDocument::fromJson(readFile(job)).object(), pinned);

        app[100] = char(app[100] ^ 1);
        QVERIFY(writeFile(appFile, app));
        std::tie(exit, text) = finished(IAP_CLI_PATH, {"station", "--port", device.linkPath(), "--job", job});
        QVERIFY2(exit == 2 && text.contains(appFile + " has changed since"), qPrintable(text));
        QCOMPARE(device.logCount("RX CMD"), 0);

        QCOMPARE(finished(IAP_CLI_PATH, {"job", "pin", job}).first, 0);
        Cli station({"station", "--port", device.linkPath(), "--job", job, "--json"});
        QVERIFY(waitUntil([&] { return !station.rounds(device.linkPath()).isEmpty(); }, RoundMs));
        QCOMPARE(station.rounds(device.linkPath()).first()["pass"], true);
        QCOMPARE(station.interrupt(), 0);
        QCOMPARE(device.flash(0x08004000, app.size()), app);
    }

    // A line's controller hands iap-cli station the codes on its standard input: the round and
    // its record carry the code; a code a board passed with is refused and on record, and nothing
    // is sent, by iap-cli program too, while a board that failed is tried again under its code. A
    // job that needs codes runs nowhere without them.
    void barcodesFromALine()
    {
        RuntimeDir runtime;
        QTemporaryDir folder;
        VirtualDevice device(fast({"--replug-delay-ms", "300"}));
        QVERIFY(device.start());
        const QString job = folder.filePath("job.json"), journal = folder.filePath("journal.sqlite"), port = device.linkPath();
        QVERIFY(writeFile(folder.filePath("app.bin"), pattern(PageBytes, 4)));
        QVERIFY(writeFile(job, R"({"model": "HX300", "address": "08004000", "application": "app.bin", "barcode": true})"));
        for (const char* command : {"station", "program"}) {
            const auto [exit, text] = finished(IAP_CLI_PATH, {command, "--port", port, "--job", job, "--journal", journal});
            QVERIFY2(exit == 2 && text.contains("the job needs each board's barcode"), qPrintable(text));
        }

        Cli station({"station", "--port", port, "--job", job, "--journal", journal, "--barcodes", "-", "--json"});
        station.process.write(QStringLiteral("%1 4006381333931\n").arg(port).toUtf8());
        QVERIFY(waitUntil([&] { return station.rounds(port).size() == 1; }, RoundMs));
        QCOMPARE(station.rounds(port)[0]["pass"], true);
        QCOMPARE(station.rounds(port)[0]["barcode"], "4006381333931");
        const int sent = device.logCount("RX CMD");
        QVERIFY(device.signal(SIGUSR1));
        station.process.write("ttyUSB9 4006381333931\n4006381333931\n");
        QVERIFY(waitUntil([&] { return station.rounds(port).size() == 2; }, RoundMs));
        QCOMPARE(station.rounds(port)[1]["pass"], false);
        QVERIFY(station.rounds(port)[1]["text"].toString().startsWith(QStringLiteral("barcode 4006381333931 already passed on %1 at ").arg(port)));
        QVERIFY(station.events().contains(QJsonObject{{"event", "barcode"}, {"line", "ttyUSB9 4006381333931"}, {"text", "no --port ttyUSB9"}}));
        QCOMPARE(station.interrupt(), 1);
        QCOMPARE(device.logCount("RX CMD"), sent);
        const QList<QJsonObject> records = journalRecords(journal);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0]["barcode"], "4006381333931");
        QCOMPARE(records[1]["barcode"], "4006381333931");
        QCOMPARE(records[1]["category"], "input error");
        QVERIFY(records[1]["steps"].toArray().isEmpty());

        const auto [exit, text] = finished(IAP_CLI_PATH, {"program", "--port", port, "--job", job, "--journal", journal, "--barcode", "4006381333931"});
        QVERIFY2(exit == 2 && text.contains("barcode 4006381333931 already passed on"), qPrintable(text));
        QCOMPARE(device.logCount("RX CMD"), sent);
        const QJsonObject refused = journalRecords(journal).value(2);
        QCOMPARE(QStringList({refused["command"].toString(), refused["barcode"].toString(), refused["category"].toString()}), QStringList({"program", "4006381333931", "input error"}));
        QVERIFY(refused["steps"].toArray().isEmpty() && text.contains(refused["result"].toString()) && refused["result"] == records[1]["result"]);
        Pty silent;
        const QStringList again{"program", "--job", job, "--journal", journal, "--barcode", "5901234123457", "--timeout", "1", "--port"};
        QCOMPARE(finished(IAP_CLI_PATH, again + QStringList{silent.path()}).first, 3);
        QCOMPARE(finished(IAP_CLI_PATH, again + QStringList{port}).first, 0);
    }

    // A port named before it is there is waited for where a port of that name appears (here a
    // virtual device's name), not as a file of the working folder, which is no board.
    void portNamedBeforeItAppears()
    {
        RuntimeDir runtime;
        QTemporaryDir work;
        const QString name = QStringLiteral("sx%1").arg(QCoreApplication::applicationPid());
        QVERIFY(writeFile(work.filePath(name), "no board") && writeFile(work.filePath("small.bin"), pattern(100)));
        Cli station({"station", "--port", name, "--app", "small.bin", "--address", "08004000", "--journal", "journal.sqlite", "--json"}, work.path());
        // Its journal made, the station has looked for its port.
        QVERIFY(waitUntil([&] { return QFileInfo::exists(work.filePath("journal.sqlite")); }, RoundMs));
        VirtualDevice device(fast({"--name", name}));
        QVERIFY(device.start());
        QVERIFY(waitUntil([&] { return !station.rounds(name).isEmpty(); }, RoundMs));
        QCOMPARE(station.rounds(name).first()["pass"], true);
        QCOMPARE(device.flash(0x08004000, 100), pattern(100));
        QCOMPARE(station.interrupt(), 0);
    }

    // The window: sockets added from the port list and named, a tile for each that an operator
    // reads (PASS or FAIL and why, the counts), the tones, the number keys, the job file, and the
    // station as it was at the next start.
    void stationWindow()
    {
        QSettings("iap", "station").clear();
        RuntimeDir runtime;
        VirtualDevice good(replugged("A{n}")), bad(fast({"--wrong-sum", "--replug-delay-ms", "60000"}));
        QVERIFY(good.start() && bad.start());
        const QString appFile = data.filePath("window/app.bin");
        const QString slotFile = data.filePath("window/slot.flash");
        QVERIFY(writeFile(appFile, pattern(4 * PageBytes, 9)));
        QVERIFY(writeFile(slotFile, QByteArray("Flash Write") + bigEndian(0x08040000) + pattern(PageBytes - 15, 6) + pattern(100, 7)));
        FakeDesktop fakes;
        auto window = std::make_unique<iap::StationWindow>(makeTestPlatform(fakes), makeTestDesktop(fakes));
        const auto edit = [&](const char* name) { return window->findChild<QLineEdit*>(name); };
        const auto click = [&](const char* name) { window->findChild<QPushButton*>(name)->click(); };
        edit("application")->setText(appFile);
        edit("slot0")->setText(slotFile);
        edit("address")->setText("08004000");
        click("apply");
        edit("journal")->setText(data.filePath("window/journal.sqlite"));
        click("useJournal");
        auto* ports = window->findChild<QComboBox*>("ports");
        for (const auto& [device, name] : {std::pair{&good, "Fixture A1"}, {&bad, "Fixture A2"}}) {
            ports->setCurrentIndex(ports->findText(QFileInfo(device->linkPath()).fileName(), Qt::MatchStartsWith));
            edit("socketName")->setText(name);
            click("addSocket");
        }
        const auto tileText = [&](int tile, const char* part) { return window->findChild<QFrame*>(QStringLiteral("tile%1").arg(tile))->findChild<QLabel*>(part)->text(); };
        QVERIFY(tileText(1, "title").startsWith("1. Fixture A1"));

        WAIT_COMPARE(tileText(1, "counts"), QString("2 passed, 0 failed"), RoundMs);
        WAIT_COMPARE(tileText(2, "counts"), QString("0 passed, 1 failed"), RoundMs);
        QCOMPARE(tileText(1, "verdict"), "PASS");
        const auto tileColour = [&](int tile) {
            const QImage image = window->findChild<QFrame*>(QStringLiteral("tile%1").arg(tile))->grab().toImage();
            return image.pixelColor(4, image.height() / 2);
        };
        QVERIFY(tileColour(1).green() > 2 * tileColour(1).red());
        QVERIFY(tileColour(2).red() > 2 * tileColour(2).green());
        QVERIFY(tileText(1, "details").contains("bootloader A2"));
        // A board taken out: the socket waits for the next and still shows how the last one went.
        QVERIFY(waitUntil([&] { return tileText(1, "state") == "waiting for a board" && tileText(1, "verdict") == "PASS"; }, RoundMs));
        QVERIFY(waitUntil([&] { return tileText(1, "state").startsWith("downloading") && tileText(1, "verdict") == "…"; }, RoundMs));
        QCOMPARE(tileText(2, "verdict"), "FAIL");
        QCOMPARE(tileText(2, "reason"), "Write Checksum error");
        QCOMPARE(tileText(2, "state"), "done: take the board out");
        const auto played = fakes.tone->played();
        QVERIFY(std::count(played.begin(), played.end(), std::pair{196, 700}) == 1 && std::count(played.begin(), played.end(), std::pair{659, 300}) >= 1);

        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // The second board is taken out during its next round.
        QTest::keyClick(window.get(), Qt::Key_2, Qt::NoModifier);
        QVERIFY(bad.waitForLog("RX CMD", 2));
        QVERIFY(bad.signal(SIGUSR1));
        WAIT_COMPARE(tileText(2, "counts"), QString("0 passed, 2 failed"), RoundMs);
        QCOMPARE(tileText(2, "reason"), "board removed");
        QCOMPARE(tileText(2, "state"), "waiting for a board");

        // A journal that cannot be written keeps every socket from starting.
        edit("journal")->setText("/proc/no/journal.sqlite");
        click("useJournal");
        QVERIFY(waitUntil([&] { return tileText(1, "state").contains("/proc/no/journal.sqlite"); }, RoundMs));

        const QString jobFile = data.filePath("window/job.json");
        fakes.fileDialog->answers << jobFile << jobFile;
        click("saveJob");
        edit("application")->setText("elsewhere.bin");
        click("loadJob");
        QCOMPARE(edit("application")->text(), appFile);

        const int sentToGood = good.logCount("RX CMD");
        window.reset();
        FakeDesktop again;
        window = std::make_unique<iap::StationWindow>(makeTestPlatform(again), makeTestDesktop(again));
        QVERIFY(tileText(2, "title").startsWith("2. Fixture A2"));
        QCOMPARE(edit("address")->text(), "08004000");
        QCOMPARE(edit("journal")->text(), "/proc/no/journal.sqlite");
        // A board left in its socket waits for Start; the next one put in does not.
        WAIT_COMPARE(tileText(1, "state"), QString("board in: press Start"), RoundMs);
        edit("journal")->setText(data.filePath("window/journal.sqlite"));
        click("useJournal");
        QCOMPARE(good.logCount("RX CMD"), sentToGood);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        clickOn(*window, window->findChild<QFrame*>("tile1")->findChild<QPushButton*>("start"));
        WAIT_COMPARE(tileText(1, "counts"), QString("1 passed, 0 failed"), RoundMs);
        WAIT_COMPARE(tileText(1, "counts"), QString("2 passed, 0 failed"), RoundMs);

        // The tiles left are numbered by the keys that start them now.
        clickOn(*window, window->findChild<QFrame*>("tile1")->findChild<QPushButton*>("remove"));
        QTRY_COMPARE(window->findChildren<QFrame*>(QRegularExpression("^tile")).size(), 1);
        QVERIFY(window->findChild<QFrame*>("tile1") && tileText(1, "title").startsWith("1. Fixture A2"));
        QCOMPARE(window->findChild<QFrame*>("tile1")->findChild<QPushButton*>("start")->text(), "Start (1)");
    }

    // What a new user meets first: the port the classic window would offer is chosen, the grey
    // hint in the address box cannot pass for an address, each image's dialog offers the
    // toolchains' formats and every file, a long tile title stays one line, and a saved job
    // names its images from its own folder, so that the folder can be moved.
    void firstSteps()
    {
        QSettings("iap", "station").clear();
        const std::vector<iap::PortInfo> listed{fakePort("ttyS0", "serial port"), fakePort("ttyUSB0", "FT232R USB UART"), fakePort("ttyACM9", "Modem")};
        FakeDesktop fakes;
        auto window = std::make_unique<iap::StationWindow>(makeTestPlatform(fakes, std::make_unique<FakePortSource>(listed)), makeTestDesktop(fakes));
        const auto widget = [&](const char* name) { return window->findChild<QWidget*>(name); };
        const auto edit = [&](const char* name) { return window->findChild<QLineEdit*>(name); };
        QVERIFY(window->findChild<QComboBox*>("ports")->currentText().startsWith("ttyUSB0  "));
        QVERIFY(!QRegularExpression("^(0x)?[0-9A-Fa-f]{8}$").match(edit("address")->placeholderText()).hasMatch());
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));

        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkpath("line3/images"));
        QVERIFY(writeFile(folder.filePath("line3/images/app.bin"), pattern(PageBytes, 1)));
        fakes.fileDialog->answers << QString() << QString() << folder.filePath("line3/images/app.bin") << folder.filePath("line3/job.json");
        for (const char* browse : {"slot0Browse", "slot1Browse", "applicationBrowse"})
            clickOn(*window, widget(browse));
        QCOMPARE(fakes.fileDialog->filters.size(), 3);
        for (const QString& filter : fakes.fileDialog->filters)
            QCOMPARE(filter.split(";;").mid(1), (QStringList{"Intel HEX (*.hex *.ihex)", "Motorola S-record (*.srec *.s19 *.s28 *.s37 *.mot)", "ELF (*.elf *.axf)", "All files (*)"}));
        clickOn(*window, widget("address"));
        QTest::keyClicks(QApplication::focusWidget(), "08004000");
        clickOn(*window, widget("saveJob"));
        QCOMPARE(QJsonDocument::fromJson(readFile(folder.filePath("line3/job.json")))["application"], "images/app.bin");
        QVERIFY(QDir(folder.path()).rename("line3", "moved"));
        fakes.fileDialog->answers << folder.filePath("moved/job.json");
        clickOn(*window, widget("loadJob"));
        QCOMPARE(edit("application")->text(), folder.filePath("moved/images/app.bin"));
        QCOMPARE(window->findChild<QLabel*>("jobVerdict")->text(), "The sockets run this job.");

        clickOn(*window, widget("socketName"));
        QTest::keyClicks(QApplication::focusWidget(), "fix-A3 north bench for the second shift of line seven in hall two, by the door");
        clickOn(*window, widget("addSocket"));
        window->resize(window->minimumSizeHint());
        auto* title = window->findChild<QFrame*>("tile1")->findChild<QLabel*>("title");
        QVERIFY(waitUntil([&] { return title->isVisible(); }, RoundMs));
        QCOMPARE(title->toolTip(), "1. fix-A3 north bench for the second shift of line seven in hall two, by the door — ttyUSB0");
        // The rows its letters are painted on: one line's worth.
        const QImage painted = title->grab().toImage();
        int top = painted.height(), bottom = -1;
        for (int y = 0; y < painted.height(); ++y)
            for (int x = 0; x < painted.width(); ++x)
                if (painted.pixelColor(x, y).lightness() < 128) {
                    top = std::min(top, y);
                    bottom = y;
                    break;
                }
        QVERIFY2(bottom >= top && bottom - top < title->fontMetrics().lineSpacing(), qPrintable(QStringLiteral("rows %1 to %2").arg(top).arg(bottom)));
        window.reset();
        QSettings("iap", "station").clear();
    }

    // Barcodes from a USB scanner, typed into the window as keys: a board put in waits for its
    // code; a code goes to the tile clicked, else to the board that has waited longest, and ends
    // up in the board's record and its unique page; a code a board passed with is refused, on
    // the tile and on record, and nothing is sent.
    void barcodesScannedInTheWindow()
    {
        QSettings("iap", "station").clear();
        RuntimeDir runtime;
        VirtualDevice first(fast({"--replug-delay-ms", "300"})), second(fast());
        QVERIFY(first.start() && second.start());
        QTemporaryDir folder;
        const QString jobFile = folder.filePath("job.json"), journal = folder.filePath("journal.sqlite");
        const QJsonObject unique{{"address", "0807F800"}, {"fields", QJsonArray{QJsonObject{{"name", "code"}, {"kind", "barcode"}, {"offset", 0}, {"width", 24}}}}};
        QVERIFY(writeFile(folder.filePath("app.bin"), pattern(PageBytes, 2)));
        QVERIFY(writeFile(jobFile, QJsonDocument(QJsonObject{{"model", "HX300"}, {"address", "08004000"}, {"application", "app.bin"}, {"unique", unique}}).toJson()));
        FakeDesktop fakes;
        auto window = std::make_unique<iap::StationWindow>(makeTestPlatform(fakes), makeTestDesktop(fakes));
        const auto tile = [&](int number) { return window->findChild<QFrame*>(QStringLiteral("tile%1").arg(number)); };
        const auto tileText = [&](int number, const char* part) { return tile(number)->findChild<QLabel*>(part)->text(); };
        fakes.fileDialog->answers << jobFile;
        window->findChild<QPushButton*>("loadJob")->click();
        window->findChild<QLineEdit*>("journal")->setText(journal);
        window->findChild<QPushButton*>("useJournal")->click();
        auto* ports = window->findChild<QComboBox*>("ports");
        for (const auto& [device, name] : {std::pair{&first, "Fixture A1"}, {&second, "Fixture A2"}}) {
            ports->setCurrentIndex(ports->findText(QFileInfo(device->linkPath()).fileName(), Qt::MatchStartsWith));
            window->findChild<QLineEdit*>("socketName")->setText(name);
            window->findChild<QPushButton*>("addSocket")->click();
            WAIT_COMPARE(tileText(device == &first ? 1 : 2, "state"), QString("waiting for its barcode"), RoundMs);
        }
        QCOMPARE(first.logCount("RX CMD") + second.logCount("RX CMD"), 0);

        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // Keys typed into a text field are the person's.
        clickOn(*window, window->findChild<QLineEdit*>("socketName"));
        QTest::keyClicks(QApplication::focusWidget(), "12");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(window->findChild<QLineEdit*>("socketName")->text(), "12");
        window->findChild<QPushButton*>("seekPorts")->setFocus();
        const auto scan = [&](const char* code) {
            QTest::keyClicks(window.get(), code);
            QTest::keyClick(window.get(), Qt::Key_Return);
        };
        clickOn(*window, tile(1)->findChild<QLabel*>("counts"));
        QVERIFY(tile(1)->lineWidth() > tile(2)->lineWidth());
        QTest::keyClicks(window.get(), "777");
        QTest::keyClick(window.get(), Qt::Key_Escape);
        scan("4006381333931");
        QCOMPARE(tile(1)->lineWidth(), tile(2)->lineWidth());
        WAIT_COMPARE(tileText(1, "verdict"), QString("PASS"), RoundMs);
        QVERIFY(tileText(1, "details").contains("code 4006381333931"));
        QCOMPARE(tileText(2, "state"), "waiting for its barcode");

        // The first socket's next board waits, but not as long as the second socket's board.
        QVERIFY(first.signal(SIGUSR1));
        QVERIFY(waitUntil([&] { return tileText(1, "state") == "waiting for its barcode" && !tileText(1, "details").contains("code"); }, RoundMs));
        scan("5901234123457");
        WAIT_COMPARE(tileText(2, "verdict"), QString("PASS"), RoundMs);
        QCOMPARE(second.flash(0x0807F800, 16), QByteArray("5901234123457").leftJustified(16, '\0'));
        QCOMPARE(tileText(1, "state"), "waiting for its barcode");

        const int sentToFirst = first.logCount("RX CMD");
        scan("4006381333931");
        WAIT_COMPARE(tileText(1, "verdict"), QString("FAIL"), RoundMs);
        QVERIFY2(tileText(1, "reason").startsWith("barcode 4006381333931 already passed on Fixture A1 at 20"), qPrintable(tileText(1, "reason")));
        QCOMPARE(tileText(1, "state"), "waiting for its barcode");
        scan("96385074");
        WAIT_COMPARE(tileText(1, "counts"), QString("2 passed, 1 failed"), RoundMs);
        QCOMPARE(first.logCount("RX CMD"), 2 * sentToFirst);
        QCOMPARE(first.flash(0x0807F800, 16), QByteArray("96385074").leftJustified(16, '\0'));

        QStringList records;
        for (const QJsonObject& record : journalRecords(journal))
            records << QStringLiteral("%1 %2 %3, %4 steps").arg(record["socket"].toString(), record["barcode"].toString(), record["category"].toString()).arg(record["steps"].toArray().size());
        QCOMPARE(records, (QStringList{"Fixture A1 4006381333931 right, 2 steps", "Fixture A2 5901234123457 right, 2 steps", "Fixture A1 4006381333931 input error, 0 steps",
                                       "Fixture A1 96385074 right, 2 steps"}));
        window.reset();
        QSettings("iap", "station").clear();
    }

    // A station kept by an earlier version holds its job key by key: it is taken as a job file
    // would be, and a model that is none is refused rather than taken for another.
    // The Journal menu's yield report: the station's journal over the last 24 hours, by socket,
    // written to a page that the browser is asked to open.
    void yieldReportFromTheMenu()
    {
        QSettings("iap", "station").clear();
        const QString journalFile = data.filePath("menu/journal.sqlite");
        iap::Journal journal(journalFile);
        for (const auto& [hoursAgo, socket, pass] : {std::tuple{2, "Fixture A1", true}, {3, "Fixture A1", false}, {30, "Fixture B9", true}}) {
            iap::JournalRecord r;
            r.started = r.ended = QDateTime::currentDateTimeUtc().addSecs(-hoursAgo * 3600);
            std::tie(r.command, r.socket, r.port, r.pass, r.category) = std::tuple("station", socket, "ttyUSB0", pass, pass ? "right" : "checksum error");
            QCOMPARE(journal.records().append(r), QString());
        }
        FakeDesktop fakes;
        auto window = std::make_unique<iap::StationWindow>(makeTestPlatform(fakes, std::make_unique<FakePortSource>(std::vector<iap::PortInfo>{})), makeTestDesktop(fakes));
        window->findChild<QLineEdit*>("journal")->setText(journalFile);
        window->findChild<QPushButton*>("useJournal")->click();
        window->findChild<QAction*>("yieldReport")->trigger();
        QCOMPARE(fakes.messageBox->shown, QStringList());
        QCOMPARE(fakes.urlOpener->opened.size(), 1);
        const QString page = QString::fromUtf8(readFile(fakes.urlOpener->opened[0].toLocalFile()));
        QFile::remove(fakes.urlOpener->opened[0].toLocalFile());
        QVERIFY2(page.contains("<h1>Yield report by socket</h1>") && page.contains("Journal " + journalFile), qPrintable(page));
        // Two boards (records without a board's key), one passed first.
        QVERIFY(page.contains(R"(<td>Fixture A1</td><td class="number">2</td><td class="number">2</td><td class="number">50.0%</td>)"));
        QVERIFY(!page.contains("Fixture B9"));
    }

    // The delivery setting as a person types it: what waits for a receiver that cannot be
    // reached is on the status line, a folder gets its records, the setting is there again after
    // a restart, and the token in its file never reaches the window's settings.
    void deliverySetting()
    {
        QSettings("iap", "station").clear();
        QTemporaryDir place;
        const QString journalFile = place.filePath("journal.sqlite"), folder = place.filePath("out"), tokenFile = place.filePath("token");
        const QString receiver = "http://127.0.0.1:1/records";
        QVERIFY(QDir().mkpath(folder) && writeFile(tokenFile, "s3cret-token\n"));
        {
            iap::Journal journal(journalFile);
            for (const QString& target : {receiver, receiver, "dir:" + folder}) {
                journal.records().clearOutputs();
                journal.records().addOutput(std::make_unique<iap::OutboxOutput>(target));
                iap::JournalRecord r;
                r.started = r.ended = QDateTime::currentDateTimeUtc();
                std::tie(r.command, r.socket, r.port, r.pass, r.uuid) = std::tuple("station", "A1", "ttyUSB0", true, QUuid::createUuid().toString(QUuid::WithoutBraces));
                QCOMPARE(journal.records().append(r), QString());
            }
        }
        FakeDesktop fakes;
        auto window = std::make_unique<iap::StationWindow>(makeTestPlatform(fakes, std::make_unique<FakePortSource>(std::vector<iap::PortInfo>{})), makeTestDesktop(fakes));
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const auto edit = [&](const char* name) { return window->findChild<QLineEdit*>(name); };
        const auto status = [&] { return window->findChild<QLabel*>("deliveryStatus")->text(); };
        clickOn(*window, edit("journal"));
        QTest::keyClicks(edit("journal"), journalFile);
        clickOn(*window, window->findChild<QPushButton*>("useJournal"));

        clickOn(*window, edit("deliver"));
        QTest::keyClicks(edit("deliver"), receiver);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), edit("deliverTokenFile"));
        QTest::keyClicks(edit("deliverTokenFile"), tokenFile);
        clickOn(*window, window->findChild<QPushButton*>("useDelivery"));
        const auto waiting = [&] { return status().startsWith("2 records not yet delivered, last try ") && status().contains("refused"); };
        QVERIFY2(waitUntil(waiting, RoundMs), qPrintable(status()));

        clickOn(*window, edit("deliver"));
        QTest::keyClick(edit("deliver"), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit("deliver"), Qt::Key_Delete);
        QTest::keyClicks(edit("deliver"), "dir:" + folder);
        QTest::keyClick(edit("deliver"), Qt::Key_Return);
        WAIT_COMPARE(QDir(folder).entryList(QDir::Files).size(), 1, RoundMs);
        const QString delivered = QDir(folder).entryList(QDir::Files).first();
        QCOMPARE(QJsonDocument::fromJson(readFile(folder + u'/' + delivered)).object().value("uuid").toString() + ".json", delivered);
        WAIT_COMPARE(status(), QString(), RoundMs);

        window.reset();
        FakeDesktop again;
        window = std::make_unique<iap::StationWindow>(makeTestPlatform(again, std::make_unique<FakePortSource>(std::vector<iap::PortInfo>{})), makeTestDesktop(again));
        QCOMPARE(edit("deliver")->text(), "dir:" + folder);
        QCOMPARE(edit("deliverTokenFile")->text(), tokenFile);
        QSettings settings("iap", "station");
        settings.sync();
        QVERIFY(!readFile(settings.fileName()).contains("s3cret"));
    }

    void jobKeptByAnEarlierVersion()
    {
        const QString appFile = data.filePath("kept-app.bin");
        QVERIFY(writeFile(appFile, pattern(PageBytes, 3)));
        for (const auto& [model, shown] : {std::pair{"VR200", "VR200"}, {"HX400", "HX300"}}) {
            {
                QSettings settings("iap", "station");
                settings.clear();
                settings.setValue("job/model", model);
                settings.setValue("job/address", "08004000");
                settings.setValue("job/application", appFile);
                settings.setValue("job/verify", true);
                settings.setValue("job/probeMs", 500);
            }
            FakeDesktop fakes;
            auto window = std::make_unique<iap::StationWindow>(makeTestPlatform(fakes), makeTestDesktop(fakes));
            QCOMPARE(window->findChild<QComboBox*>("model")->currentText(), shown);
            const QString verdict = window->findChild<QLabel*>("jobVerdict")->text();
            if (QString(model) == "HX400") {
                QCOMPARE(verdict, "The job kept from the last session is not used: the model must be HX300 or VR200");
                QCOMPARE(window->findChild<QLineEdit*>("application")->text(), QString());
                continue;
            }
            QCOMPARE(verdict, "The sockets run this job.");
            QCOMPARE(window->findChild<QLineEdit*>("application")->text(), appFile);
            QVERIFY(window->findChild<QCheckBox*>("verify")->isChecked());
            QCOMPARE(window->findChild<QSpinBox*>("probeMs")->value(), 500);
        }
        QSettings("iap", "station").clear();
    }

    // The window on a fixture whose switch tells a board in: the tile runs the job's trigger and
    // keeps the one chosen for it. A board put in shows nothing of the last board's bootloader,
    // also while the journal keeps its round from starting. A probe address that is none is
    // refused.
    void stationWindowOnAFixture()
    {
        QSettings("iap", "station").clear();
        RuntimeDir runtime;
        VirtualDevice fixture(fast({"--fixture", "--switch", "cts", "--replug-delay-ms", "300", "--bootloader-version", "W{n}"}));
        QVERIFY(fixture.start());
        const QString appFile = data.filePath("window/fixture.bin"), slotFile = data.filePath("window/fixture.flash"), journal = data.filePath("window/fixture.sqlite");
        QVERIFY(writeFile(appFile, pattern(2 * PageBytes, 4)));
        QVERIFY(writeFile(slotFile, QByteArray("Flash Write") + bigEndian(0x08040000) + pattern(PageBytes - 15, 6) + pattern(100, 7)));
        FakeDesktop fakes;
        auto window = std::make_unique<iap::StationWindow>(makeTestPlatform(fakes), makeTestDesktop(fakes));
        const auto edit = [&](const char* name) { return window->findChild<QLineEdit*>(name); };
        const auto click = [&](const char* name) { window->findChild<QPushButton*>(name)->click(); };
        const auto chosen = [&](QComboBox* box, const QString& text) { box->setCurrentIndex(box->findText(text)); };
        const auto trigger = [&](const char* owner) { return window->findChild<QWidget*>(owner)->findChild<QComboBox*>("trigger"); };
        const auto tileText = [&](const char* part) { return window->findChild<QFrame*>("tile1")->findChild<QLabel*>(part)->text(); };
        edit("application")->setText(appFile);
        edit("slot0")->setText(slotFile);
        edit("address")->setText("08004000");
        chosen(trigger("job"), "line");
        click("apply");
        edit("journal")->setText(journal);
        click("useJournal");
        auto* ports = window->findChild<QComboBox*>("ports");
        ports->setCurrentIndex(ports->findText(QFileInfo(fixture.linkPath()).fileName(), Qt::MatchStartsWith));
        click("addSocket");
        QCOMPARE(trigger("tile1")->currentText(), "line");
        WAIT_COMPARE(tileText("verdict"), QString("PASS"), RoundMs);
        QVERIFY(tileText("details").contains("bootloader W1"));
        QCOMPARE(tileText("state"), "done: take the board out");

        edit("journal")->setText("/proc/no/journal.sqlite");
        click("useJournal");
        QVERIFY(fixture.signal(SIGUSR1));
        QVERIFY(waitUntil([&] { return tileText("state").contains("/proc/no/journal.sqlite"); }, RoundMs));
        QVERIFY2(!tileText("details").contains("W1"), qPrintable(tileText("details")));
        edit("journal")->setText(journal);
        click("useJournal");
        WAIT_COMPARE(tileText("counts"), QString("2 passed, 0 failed"), RoundMs);
        QVERIFY(tileText("details").contains("bootloader W2"));

        chosen(trigger("tile1"), "probe");
        window.reset();
        FakeDesktop again;
        window = std::make_unique<iap::StationWindow>(makeTestPlatform(again), makeTestDesktop(again));
        QCOMPARE(trigger("tile1")->currentText(), "probe");
        QCOMPARE(trigger("job")->currentText(), "line");
        WAIT_COMPARE(tileText("state"), QString("board in: press Start"), RoundMs);
        edit("probeAddress")->setText("0800400");
        click("apply");
        QCOMPARE(window->findChild<QLabel*>("jobVerdict")->text(), "the probe address 0800400 is not eight hexadecimal digits");
    }

    // Operator mode, opened as iap opens it: the job from the file runs and cannot be changed, while
    // a socket can be added; a pinned job whose image changed, or a job file that cannot be
    // loaded, runs nothing; the station's own job stays for the next normal start.
    void operatorMode()
    {
        QSettings("iap", "station").clear();
        QSettings("iap", "station").setValue("job", R"({"model": "VR200", "address": "08010000", "application": "/line/normal.bin"})");
        RuntimeDir runtime;
        QTemporaryDir folder;
        VirtualDevice device(fast());
        QVERIFY(device.start());
        QByteArray app = pattern(PageBytes + 10, 5);
        const QString job = folder.filePath("line3.json"), appFile = folder.filePath("app.bin");
        QVERIFY(writeFile(appFile, app) && writeFile(job, R"({"model": "HX300", "address": "08004000", "application": "app.bin"})"));
        QCOMPARE(finished(IAP_CLI_PATH, {"job", "pin", job}).first, 0);
        FakeDesktop fakes;
        std::unique_ptr<iap::StationWindow> window;
        const auto open = [&](const QStringList& arguments) {
            window.reset();
            QString error;
            const std::optional<iap::StationOptions> options = iap::stationOptions(QStringList{"iap", "--station"} + arguments, error);
            window = std::make_unique<iap::StationWindow>(makeTestPlatform(fakes), makeTestDesktop(fakes), options.value());
        };
        const auto widget = [&](const char* name) { return window->findChild<QWidget*>(name); };
        const auto text = [&](const char* name) { return window->findChild<QLabel*>(name)->text(); };
        const auto tileText = [&](const char* part) { return window->findChild<QFrame*>("tile1")->findChild<QLabel*>(part)->text(); };

        open({"--operator", job});
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QCOMPARE(window->windowTitle(), "IAP Station — Operator mode");
        QVERIFY(widget("operatorMode")->isVisible() && widget("operatorMode")->font().bold() && text("operatorMode") == "Operator mode");
        QVERIFY(widget("operatorMode")->geometry().bottom() < widget("job")->geometry().top());
        QCOMPARE(text("jobVerdict"), "The sockets run this job.");
        for (const char* name : {"apply", "saveJob", "loadJob", "applicationBrowse", "model", "verify", "trigger", "switch", "probeMs"})
            QVERIFY2(!widget(name)->isEnabled(), name);
        clickOn(*window, widget("address"));
        QTest::keyClicks(QApplication::focusWidget(), "1");
        QCOMPARE(window->findChild<QLineEdit*>("address")->text(), "08004000");
        auto* ports = window->findChild<QComboBox*>("ports");
        ports->setCurrentIndex(ports->findText(QFileInfo(device.linkPath()).fileName(), Qt::MatchStartsWith));
        clickOn(*window, widget("socketName"));
        QTest::keyClicks(QApplication::focusWidget(), "Line A1");
        clickOn(*window, widget("addSocket"));
        QVERIFY(waitUntil([&] { return widget("tile1") && tileText("verdict") == "PASS"; }, RoundMs));
        QVERIFY(tileText("title").startsWith("1. Line A1"));
        QCOMPARE(device.flash(0x08004000, app.size()), app);

        const int commands = device.logCount("RX CMD");
        app[PageBytes] = char(app[PageBytes] ^ 1);
        QVERIFY(writeFile(appFile, app));
        open({"--operator", job});
        QVERIFY2(text("jobVerdict").contains(appFile + " has changed since"), qPrintable(text("jobVerdict")));
        QVERIFY(waitUntil([&] { return tileText("state").contains(appFile + " has changed since"); }, RoundMs));
        open({QString("--operator=%1").arg(folder.filePath("missing.json"))});
        QVERIFY(waitUntil([&] { return tileText("state").contains("missing.json could not be read"); }, RoundMs));
        QVERIFY(text("jobVerdict").contains("missing.json could not be read"));
        QCOMPARE(device.logCount("RX CMD"), commands);

        open({});
        QCOMPARE(window->findChild<QLineEdit*>("application")->text(), "/line/normal.bin");
        QVERIFY(!widget("operatorMode"));
        QVERIFY(tileText("title").startsWith("1. Line A1"));
        // Outside operator mode a pinned job loaded stays pinned when applied.
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        fakes.fileDialog->answers << job;
        clickOn(*window, widget("loadJob"));
        clickOn(*window, widget("apply"));
        QVERIFY2(text("jobVerdict").contains(appFile + " has changed since"), qPrintable(text("jobVerdict")));
        window.reset();
        QSettings("iap", "station").clear();
        const auto [exit, output] = finished(IAP_APP_PATH, {"--station", "--operator"});
        QVERIFY2(exit == 2 && output.contains("--operator needs the job file"), qPrintable(output));
    }

private:
    QTemporaryDir data;
};

IAP_TEST_MAIN_IN_PARTS(StationTest)
#include "tst_station.moc"
