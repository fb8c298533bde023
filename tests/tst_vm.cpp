// The tools on a real kernel's USB-serial driver: each case boots a guest (scripts/vm-bench.sh)
// whose emulated FT232 adapters lead to virtual devices on this machine, runs its job of
// scripts/vm/jobs inside, and judges what the job saw and what the devices got.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "TestParts.h"
#include "VirtualMachine.h"
#include "Wait.h"

#include <QJsonObject>
#include <QTest>

using namespace iap::test;

namespace {

constexpr int CaseMs = 300000;

}  // namespace

#define RUN_CASE(guest)                                  \
    do {                                                 \
        const QString why = (guest).runCase(CaseMs);     \
        QVERIFY2(why.isEmpty(), qPrintable(why));        \
    } while (false)
#define EXPECT_EXITS(guest, runs, status)                    \
    do {                                                     \
        const QString why = (guest).failedRun(runs, status); \
        QVERIFY2(why.isEmpty(), qPrintable(why));            \
    } while (false)

class VmTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (const QString why = VirtualMachine::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
    }

    // Each adapter is listed as what it is, carries what the package's rule gives it, and is
    // chosen alone by its USB identity, its by-id and its by-path link, at its model's rate.
    void identity()
    {
        RuntimeDir runtime;
        VirtualDevice hx300, vr200({"--model", "VR200"});
        QVERIFY(hx300.start() && vr200.start());
        VirtualMachine guest(QStringLiteral("identity.sh"));
        guest.addAdapter(hx300, QStringLiteral("IAPVMA01"));
        guest.addAdapter(vr200, QStringLiteral("IAPVMB02"));
        const QStringList runs{"a-usb", "b-usb", "a-by-id", "b-by-id", "a-by-path", "b-by-path"};
        for (qsizetype i = 0; i < runs.size(); ++i)
            QVERIFY(writeFile(guest.resultPath(runs[i] + ".bin"), pattern(PageBytes + 300, int(i))));
        RUN_CASE(guest);

        const QString ports = guest.text("ports.out");
        for (const QString serial : {"IAPVMA01", "IAPVMB02"}) {
            QVERIFY2(ports.contains(QRegularExpression("ttyUSB\\d  QEMU USB SERIAL, QEMU, usb 0403:6001, " + serial)), qPrintable(ports));
            const QString udev = guest.text("udev-" + serial);
            QVERIFY2(udev.contains("E: ID_MM_DEVICE_IGNORE=1") && udev.contains(QRegularExpression("E: TAGS=.*:uaccess:")), qPrintable(udev));
            QCOMPARE(guest.text("latency-" + serial), QStringLiteral("1"));
        }
        // What doctor sees: for root every port opens; a technician at no seat is told of the
        // rule that gives adapters out at a seat and of an ACL for now, and of dialout for the
        // machine's own port, which the rule does not give out; no latency timer stands in the way.
        const QString root = guest.text("doctor.out");
        QVERIFY2(root.contains("ok: ttyUSB0 (/dev/ttyUSB0) can be opened\nok: ttyUSB1 (/dev/ttyUSB1) can be opened") && root.endsWith("Nothing stands in the way."),
                 qPrintable(root));
        const QString technician = guest.text("doctor-user.out");
        for (const QString port : {"ttyUSB0", "ttyUSB1"})
            QVERIFY2(technician.contains(QStringLiteral("PROBLEM: %1 (/dev/%1) belongs to the user root and the group dialout with mode 0660, and tech may "
                                                        "not open it\n  fix: plug the adapter in again: the udev rule /usr/lib/udev/rules.d/60-iap.rules")
                                             .arg(port))
                         && technician.contains(QStringLiteral("sudo setfacl -m u:tech:rw /dev/%1").arg(port)),
                     qPrintable(technician));
        QVERIFY2(technician.contains("tech may not open it\n  fix: sudo usermod -aG dialout $USER") && !technician.contains("latency timer"), qPrintable(technician));

        EXPECT_EXITS(guest, runs, 0);
        // Each run reached its own device and no other, at that device's rate, and its record
        // names its adapter.
        for (VirtualDevice* device : {&hx300, &vr200}) {
            const QString side = device == &hx300 ? "a-" : "b-";
            QCOMPARE(device->logCount(" RX CMD "), 3);
            for (const auto& [run, address] : {std::pair{"usb", 0x08004000u}, {"by-id", 0x08008000u}, {"by-path", 0x0800C000u}})
                QCOMPARE(device->flash(address, PageBytes + 300), guest.result(side + run + ".bin"));
            const QStringList rates = device->logLines().filter(QRegularExpression("^\\S+ RATE "));
            QVERIFY2(!rates.isEmpty() && rates.filter(device == &hx300 ? " RATE 115200" : " RATE 38400") == rates, qPrintable(rates.join(u'\n')));
        }
        const QList<QJsonObject> records = guest.jsonLines("journal.out");
        QCOMPARE(records.size(), runs.size());
        for (const QJsonObject& record : records) {
            const QString serial = record["serial"].toString();
            QVERIFY2(serial == "IAPVMA01" || serial == "IAPVMB02", qPrintable(serial));
            QCOMPARE(record["usbId"].toString(), QStringLiteral("0403:6001"));
            QCOMPARE(record["byPath"].toString(), guest.text("by-path-" + serial));
            QCOMPARE(record["model"].toString(), serial == "IAPVMA01" ? QStringLiteral("HX300") : QStringLiteral("VR200"));
        }
    }

    // Every operation, byte-exact; a wrong sum is never right; a silent device ends within its
    // time-out; a version reply in pieces, the last of them after the first page has gone, is
    // whole on record.
    void operations()
    {
        RuntimeDir runtime;
        VirtualDevice honest, wrong({"--wrong-sum"}), silent({"--silent"}),
            bursty({"--bootloader-version", "BL-1.07", "--reply-delay-ms", "460", "--split-ms", "40", "--reply-gap-ms", "0"});
        QVERIFY(honest.start() && wrong.start() && silent.start() && bursty.start());
        VirtualMachine guest(QStringLiteral("operations.sh"));
        int n = 0;
        for (const VirtualDevice* device : {&honest, &wrong, &silent, &bursty})
            guest.addAdapter(*device, QStringLiteral("IAPVMOP%1").arg(n++));
        const QByteArray app = pattern(3 * PageBytes + 100, 1), slot = pattern(PageBytes + 500, 2), plain = pattern(2 * PageBytes, 4);
        const QByteArray header = QByteArray("Flash Write") + bigEndian(0x08020000) + pattern(PageBytes - 15, 3) + slot;
        QVERIFY(writeFile(guest.resultPath("app.bin"), app) && writeFile(guest.resultPath("header.flash"), header)
                && writeFile(guest.resultPath("plain.flash"), plain));
        RUN_CASE(guest);

        EXPECT_EXITS(guest, QStringList({"download", "download-verify", "write-header", "write-plain", "read", "program"}), 0);
        for (const auto& [address, bytes] : {std::pair{0x08004000u, app}, {0x08010000u, app}, {0x08020000u, slot}, {0x08030000u, plain}, {0x08040000u, app}})
            QCOMPARE(honest.flash(address, int(bytes.size())), bytes);
        QCOMPARE(guest.result("read.bin"), app.left(3 * PageBytes));
        QVERIFY(guest.text("download-verify.out").contains("Verify right"));

        EXPECT_EXITS(guest, QStringList({"wrong-download", "wrong-write", "wrong-read"}), 1);
        for (const QString run : {"wrong-download", "wrong-write", "wrong-read"})
            QVERIFY2(guest.text(run + ".out").contains("Checksum error"), qPrintable(guest.text(run + ".out")));
        QVERIFY(!QFile::exists(guest.resultPath("wrong-read.bin")));

        EXPECT_EXITS(guest, QStringList{"silent"}, 3);
        QVERIFY2(guest.text("silent.out").contains("No reply from the device for 2 s"), qPrintable(guest.text("silent.out")));
        int versions = 0;
        for (const QJsonObject& record : guest.jsonLines("journal.out")) {
            // Within its time-out, by the tool's own clock.
            if (record["serial"] == "IAPVMOP2")
                QVERIFY2(record["durationMs"].toInt() < 3000, qPrintable(QString::number(record["durationMs"].toInt())));
            if (record["serial"] == "IAPVMOP3") {
                QCOMPARE(record["result"].toString() + " " + record["bootloaderVersion"].toString(), QStringLiteral("Write Checksum right BL-1.07"));
                ++versions;
            }
        }
        QCOMPARE(versions, 4);
    }

    // Several adapters at once: one iap-cli run on two, and a station with a socket on each
    // adapter's by-path link; each device gets its image and each record names its adapter.
    void severalAdapters()
    {
        RuntimeDir runtime;
        VirtualDevice devices[3];
        VirtualMachine guest(QStringLiteral("gang.sh"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(devices[i].start());
            guest.addAdapter(devices[i], QStringLiteral("IAPVMG%1").arg(i));
        }
        const QByteArray app = pattern(2 * PageBytes + 33, 8);
        QVERIFY(writeFile(guest.resultPath("app.bin"), app));
        RUN_CASE(guest);

        EXPECT_EXITS(guest, QStringList({"download", "station"}), 0);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(devices[i].flash(0x08004000, app.size()) == app, i < 2);
            QCOMPARE(devices[i].flash(0x08010000, app.size()), app);
        }
        const QStringList sockets = guest.text("sockets").split(u' ');
        int stationRounds = 0;
        for (const QJsonObject& record : guest.jsonLines("journal.out")) {
            const int adapter = int(sockets.indexOf(record["byPath"].toString()));
            QCOMPARE(record["serial"].toString() + " " + record["category"].toString(), QStringLiteral("IAPVMG%1 right").arg(adapter));
            stationRounds += record["command"] == "station";
        }
        QCOMPARE(stationRounds, 3);
    }

    // The classic window downloads through the adapter and says so.
    void classicWindow()
    {
        RuntimeDir runtime;
        VirtualDevice device;
        QVERIFY(device.start());
        VirtualMachine guest(QStringLiteral("window.sh"));
        guest.addAdapter(device, QStringLiteral("IAPVMW0"));
        guest.setEnvironment(QStringLiteral("IAP_WINDOW_RUN"), QStringLiteral("'download HX300 /results/app.bin'"));
        const QByteArray app = pattern(2 * PageBytes + 5, 9);
        QVERIFY(writeFile(guest.resultPath("app.bin"), app));
        RUN_CASE(guest);
        EXPECT_EXITS(guest, QStringList{"window"}, 0);
        const QString out = guest.text("window.out");
        QVERIFY2(out.startsWith("port: ttyUSB0  QEMU USB SERIAL, QEMU, usb 0403:6001, IAPVMW0")
                     && out.contains("status: IAP　Successfully\nstatus: IAP Checksum right"),
                 qPrintable(out));
        QCOMPARE(device.flash(0x08004000, app.size()), app);
    }

    // A CDC-ACM board through the real cdc_acm driver: a USB gadget inside the guest, the virtual
    // device on the gadget's end.
    void cdcAcmBoard()
    {
        VirtualMachine guest(QStringLiteral("cdc-acm.sh"));
        const QByteArray app = pattern(PageBytes + 900, 10);
        QVERIFY(writeFile(guest.resultPath("app.bin"), app));
        RUN_CASE(guest);
        const QString ports = guest.text("ports.out"), udev = guest.text("udev-acm");
        QVERIFY2(ports.contains(QRegularExpression("^ttyACM0  .*usb 1d6b:0104, IAPVMACM0$", QRegularExpression::MultilineOption)), qPrintable(ports));
        QVERIFY2(udev.contains("E: ID_MM_DEVICE_IGNORE=1") && udev.contains(QRegularExpression("E: TAGS=.*:uaccess:")), qPrintable(udev));
        EXPECT_EXITS(guest, QStringList({"download", "write", "read"}), 0);
        const QByteArray flash = guest.result("flash.bin");
        QCOMPARE(flash.mid(0x4000, app.size()), app);
        QCOMPARE(flash.mid(0x10000, app.size()), app);
        QCOMPARE(guest.result("read.bin"), app + QByteArray(2 * PageBytes - app.size(), char(0xFF)));
    }

    // An adapter pulled out in mid-transfer ends the run at once as "port lost" (exit 3), well
    // before its time-out; the next plug's runs pass. The board goes with its adapter: it stops
    // at once and starts afresh when plugged in again; a busy host may take longer to pull the
    // adapter than the rest of the transfer would have taken.
    void pulledDuringTransfer()
    {
        RuntimeDir runtime;
        VirtualDevice device;
        QVERIFY(device.start());
        VirtualMachine guest(QStringLiteral("pulled.sh"));
        guest.addAdapter(device, QStringLiteral("IAPVMPL0"));
        const QByteArray app = pattern(12 * PageBytes, 6);
        QVERIFY(writeFile(guest.resultPath("app.bin"), app) && guest.start());
        const QString readCommand = " RX CMD " + QByteArray("Flash Read ").toHex(' ').toUpper();
        for (const auto& [run, underWay] : {std::pair{QStringLiteral("download"), QStringLiteral(" RX PAGE 3 ")}, {QStringLiteral("read"), readCommand}}) {
            QVERIFY2(device.waitForLog(underWay, 1, CaseMs), qPrintable(guest.caseLog() + guest.console().right(2000)));
            QVERIFY(device.restart() && guest.unplug(0));
            guest.tell(run + ".pulled");
            QVERIFY(guest.waitForResult(run + ".ended", CaseMs));
            QVERIFY(guest.plug(0, QStringLiteral("IAPVMPL0")));
            guest.tell(run + ".replugged");
            EXPECT_EXITS(guest, QStringList{run}, 3);
            const QList<QJsonObject> events = guest.jsonLines(run + ".out");
            QVERIFY(!events.isEmpty() && events.last()["event"] == "result");
            QCOMPARE(events.last()["text"].toString(), QStringLiteral("port lost"));
            // Not after its time-out of 30 s.
            QVERIFY2(guest.text(run + ".ms").toInt() < 10000, qPrintable(guest.text(run + ".ms")));
        }
        QVERIFY2(guest.finish(CaseMs) && guest.caseStatus() == 0, qPrintable(guest.caseLog() + guest.console().right(3000)));
        EXPECT_EXITS(guest, QStringList({"download-again", "read-again"}), 0);
        QCOMPARE(guest.result("read.bin"), app);
    }

    // The station (trigger appear) on two sockets' by-path links: one round per plug, each
    // board with an FT232 of its own, on record with the adapter it had, none lost or doubled;
    // a board pulled out in mid-transfer ends its round at once and the next plug passes; the
    // station keeps no descriptor of a port that went, and waits without spinning.
    void hotPlug()
    {
        constexpr int Plugs = 10;
        constexpr int PulledPlug = 4;
        RuntimeDir runtime;
        VirtualDevice boards[2];
        QVERIFY(boards[0].start() && boards[1].start());
        VirtualMachine guest(QStringLiteral("hotplug.sh"));
        guest.addAdapter(boards[0], QStringLiteral("IAPVMA00"));
        guest.addAdapter(boards[1], QString());
        QVERIFY(writeFile(guest.resultPath("app.bin"), pattern(2 * PageBytes + 700, 7)) && guest.start());
        QVERIFY2(guest.waitForResult("station-started", CaseMs), qPrintable(guest.caseLog() + guest.console().right(2000)));
        const QString sockets[] = {guest.text("socket-a"), guest.text("socket-b")};
        const auto rounds = [&](int socket) {
            int found = 0;
            for (const QJsonObject& event : guest.jsonLines("station.out"))
                found += event["event"] == "round" && event["port"] == sockets[socket];
            return found;
        };
        QStringList serials[] = {{"IAPVMA00"}, {}};
        bool in[] = {true, false};
        QVERIFY2(waitUntil([&] { return rounds(0) == 1; }, CaseMs), qPrintable(guest.text("station.out")));
        for (int plug = 1; plug <= Plugs; ++plug) {
            for (int socket : {0, 1}) {
                if (in[socket])
                    QVERIFY(guest.unplug(socket));
                // Each board a fresh device.
                QVERIFY(boards[socket].restart());
                serials[socket] << QStringLiteral("IAPVM%1%2").arg(socket == 0 ? 'A' : 'B').arg(plug, 2, 10, QLatin1Char('0'));
                const int pagesBefore = boards[socket].logCount(" RX PAGE 0 ");
                QVERIFY(guest.plug(socket, serials[socket].last()));
                in[socket] = !(socket == 0 && plug == PulledPlug);
                // Pulled while its second page is on the way, the board stops at once: a busy host
                // may take longer to pull its adapter than the rest of the round would take.
                if (!in[socket])
                    QVERIFY(boards[0].waitForLog(" RX PAGE 0 ", pagesBefore + 1, CaseMs) && boards[0].restart() && guest.unplug(0));
            }
            QVERIFY2(waitUntil([&] { return rounds(0) == serials[0].size() && rounds(1) == serials[1].size(); }, CaseMs), qPrintable(guest.text("station.out")));
        }
        for (int socket : {0, 1})
            QVERIFY(!in[socket] || guest.unplug(socket));
        guest.tell("all-out");
        QVERIFY2(guest.finish(CaseMs) && guest.caseStatus() == 0, qPrintable(guest.caseLog() + guest.console().right(3000)));

        QCOMPARE(guest.text("station.status"), QStringLiteral("1"));
        QVERIFY2(!guest.text("station.fds").contains("ttyUSB"), qPrintable(guest.text("station.fds")));
        // Waiting for boards takes little of the processor: 3 s are 300 ticks.
        QVERIFY2(guest.text("station.idle-ticks").toInt() < 100, qPrintable(guest.text("station.idle-ticks")));
        qsizetype kept[] = {0, 0};
        for (const QJsonObject& record : guest.jsonLines("journal.out")) {
            const int socket = record["socket"] == sockets[0] ? 0 : 1;
            const qsizetype i = kept[socket]++;
            QCOMPARE(record["socket"].toString(), sockets[socket]);
            QCOMPARE(record["serial"].toString(), serials[socket].value(i));
            QCOMPARE(record["usbId"].toString() + " " + record["byPath"].toString(), "0403:6001 " + sockets[socket]);
            QCOMPARE(record["category"].toString(), socket == 0 && i == PulledPlug ? QStringLiteral("board removed") : QStringLiteral("right"));
        }
        QCOMPARE(kept[0], serials[0].size());
        QCOMPARE(kept[1], serials[1].size());
    }
};

IAP_TEST_GUILESS_MAIN_IN_PARTS(VmTest)
#include "tst_vm.moc"
