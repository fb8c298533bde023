// The tools on a real kernel's USB-serial driver: each case boots a guest (scripts/vm-bench.sh)
// whose emulated FT232 adapters lead to virtual devices on this machine, runs the case of
// tests/vm inside, and judges what the case saw and what the devices got.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "TestParts.h"
#include "VirtualMachine.h"
#include "Wait.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace iap::test;

namespace {

constexpr int CaseMs = 300000;

QString text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).trimmed();
}

QList<QJsonObject> jsonLines(const QByteArray& bytes)
{
    QList<QJsonObject> objects;
    for (const QByteArray& line : bytes.split('\n'))
        if (!line.trimmed().isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    return objects;
}

}  // namespace

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
        QMap<QString, QByteArray> images;
        int seed = 0;
        for (const QString name : {"a-usb", "b-usb", "a-by-id", "b-by-id", "a-by-path", "b-by-path"}) {
            images[name] = pattern(PageBytes + 300, ++seed);
            QVERIFY(writeFile(guest.resultPath(name + ".bin"), images[name]));
        }
        runToEnd(guest);

        const QString ports = text(guest.result("ports.out"));
        QVERIFY2(ports.contains(QRegularExpression("ttyUSB\\d  .*usb 0403:6001, IAPVMA01")), qPrintable(ports));
        QVERIFY2(ports.contains(QRegularExpression("ttyUSB\\d  .*usb 0403:6001, IAPVMB02")), qPrintable(ports));
        for (const QString serial : {"IAPVMA01", "IAPVMB02"}) {
            const QString udev = text(guest.result("udev-" + serial));
            QVERIFY2(udev.contains("E: ID_MM_DEVICE_IGNORE=1") && udev.contains(QRegularExpression("E: TAGS=.*:uaccess:")), qPrintable(udev));
            QCOMPARE(text(guest.result("latency-" + serial)), QStringLiteral("1"));
            QVERIFY(text(guest.result("by-path-" + serial)).startsWith("/dev/serial/by-path/"));
        }
        // What doctor sees: for root every port opens; a technician at no seat is told of the
        // rule that gives adapters out at a seat and of an ACL for now, and of dialout for the
        // machine's own port, which the rule does not give out; no latency timer stands in the way.
        const QString doctor = text(guest.result("doctor.out"));
        QVERIFY2(doctor.contains("ok: ttyUSB0 (/dev/ttyUSB0) can be opened") && doctor.contains("ok: ttyUSB1 (/dev/ttyUSB1) can be opened")
                     && doctor.endsWith("Nothing stands in the way."),
                 qPrintable(doctor));
        const QString technician = text(guest.result("doctor-user.out"));
        for (const QString port : {"ttyUSB0", "ttyUSB1"})
            QVERIFY2(technician.contains(QStringLiteral("PROBLEM: %1 (/dev/%1) belongs to the user root and the group dialout with mode 0660").arg(port))
                         && technician.contains(QStringLiteral("fix: plug the adapter in again: the udev rule /usr/lib/udev/rules.d/60-iap.rules"))
                         && technician.contains(QStringLiteral("sudo setfacl -m u:tech:rw /dev/%1").arg(port)),
                     qPrintable(technician));
        QVERIFY2(technician.contains("ttyS0 (/dev/ttyS0) belongs to the user root and the group dialout with mode 0660, and tech may not open it\n"
                                     "  fix: sudo usermod -aG dialout $USER"),
                 qPrintable(technician));
        QVERIFY2(!technician.contains("latency timer"), qPrintable(technician));

        for (const QString& name : images.keys())
            QVERIFY2(text(guest.result(name + ".status")) == "0", qPrintable(name + ": " + text(guest.result(name + ".out")) + text(guest.result(name + ".err"))));
        // Each run reached its own device and no other, at that device's rate.
        for (VirtualDevice* device : {&hx300, &vr200}) {
            const QString side = device == &hx300 ? "a-" : "b-";
            QCOMPARE(device->logCount(" RX CMD "), 3);
            QCOMPARE(device->flash(0x08004000, images[side + "usb"].size()), images[side + "usb"]);
            QCOMPARE(device->flash(0x08008000, images[side + "by-id"].size()), images[side + "by-id"]);
            QCOMPARE(device->flash(0x0800C000, images[side + "by-path"].size()), images[side + "by-path"]);
            const QStringList rates = device->logLines().filter(QRegularExpression("^\\S+ RATE "));
            QVERIFY2(!rates.isEmpty(), "the rate never reached the device");
            for (const QString& rate : rates)
                QVERIFY2(rate.endsWith(device == &hx300 ? " 115200" : " 38400"), qPrintable(rate));
        }
        // The journal names each run's adapter.
        const QList<QJsonObject> records = jsonLines(guest.result("journal.out"));
        QCOMPARE(records.size(), 6);
        for (const QJsonObject& record : records) {
            const QString serial = record["serial"].toString();
            QVERIFY2(serial == "IAPVMA01" || serial == "IAPVMB02", qPrintable(serial));
            QCOMPARE(record["usbId"].toString(), QStringLiteral("0403:6001"));
            QCOMPARE(record["byPath"].toString(), text(guest.result("by-path-" + serial)));
            QCOMPARE(record["model"].toString(), serial == "IAPVMA01" ? QStringLiteral("HX300") : QStringLiteral("VR200"));
        }
    }

    // Every operation, byte-exact; a wrong sum is never right; a silent device ends within its
    // time-out; a reply that comes in pieces is whole on record.
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
        const QByteArray app = pattern(3 * PageBytes + 100, 1);
        const QByteArray slot = pattern(PageBytes + 500, 2);
        const QByteArray header = QByteArray("Flash Write") + bigEndian(0x08020000) + pattern(PageBytes - 15, 3) + slot;
        const QByteArray plain = pattern(2 * PageBytes, 4);
        QVERIFY(writeFile(guest.resultPath("app.bin"), app) && writeFile(guest.resultPath("header.flash"), header)
                && writeFile(guest.resultPath("plain.flash"), plain));
        runToEnd(guest);

        for (const QString name : {"download", "download-verify", "write-header", "write-plain", "read", "program"})
            QVERIFY2(text(guest.result(name + ".status")) == "0", qPrintable(name + ": " + guest.result(name + ".out") + guest.result(name + ".err")));
        QCOMPARE(honest.flash(0x08004000, app.size()), app);
        QCOMPARE(honest.flash(0x08010000, app.size()), app);
        QCOMPARE(honest.flash(0x08020000, slot.size()), slot);
        QCOMPARE(honest.flash(0x08030000, plain.size()), plain);
        QCOMPARE(honest.flash(0x08040000, app.size()), app);
        QCOMPARE(guest.result("read.bin"), app.left(3 * PageBytes));
        QVERIFY(text(guest.result("download-verify.out")).contains("Verify right"));

        for (const QString name : {"wrong-download", "wrong-write", "wrong-read"}) {
            QCOMPARE(text(guest.result(name + ".status")), QStringLiteral("1"));
            QVERIFY2(text(guest.result(name + ".out")).contains("Checksum error"), qPrintable(guest.result(name + ".out")));
        }
        QVERIFY(!QFile::exists(guest.resultPath("wrong-read.bin")));

        QCOMPARE(text(guest.result("silent.status")), QStringLiteral("3"));
        QVERIFY2(text(guest.result("silent.out")).contains("No reply from the device for 2 s"), qPrintable(guest.result("silent.out")));

        int versions = 0;
        for (const QJsonObject& record : jsonLines(guest.result("journal.out"))) {
            // Within its time-out, by the tool's own clock.
            if (record["serial"].toString() == "IAPVMOP2")
                QVERIFY2(record["durationMs"].toInt() < 3000, qPrintable(QString::number(record["durationMs"].toInt())));
            if (record["serial"].toString() != "IAPVMOP3")
                continue;
            QCOMPARE(record["result"].toString(), QStringLiteral("Write Checksum right"));
            QCOMPARE(record["bootloaderVersion"].toString(), QStringLiteral("BL-1.07"));
            ++versions;
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
        runToEnd(guest);

        QCOMPARE(text(guest.result("download.status")), QStringLiteral("0"));
        QCOMPARE(text(guest.result("station.status")), QStringLiteral("0"));
        for (int i = 0; i < 3; ++i) {
            if (i < 2)
                QCOMPARE(devices[i].flash(0x08004000, app.size()), app);
            QCOMPARE(devices[i].flash(0x08010000, app.size()), app);
        }
        const QStringList sockets = text(guest.result("sockets")).split(u' ');
        QCOMPARE(sockets.size(), 3);
        int stationRounds = 0;
        for (const QJsonObject& record : jsonLines(guest.result("journal.out"))) {
            const int adapter = int(sockets.indexOf(record["byPath"].toString()));
            QVERIFY2(adapter >= 0, qPrintable(record["byPath"].toString()));
            QCOMPARE(record["serial"].toString(), QStringLiteral("IAPVMG%1").arg(adapter));
            QCOMPARE(record["category"].toString(), QStringLiteral("right"));
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
        runToEnd(guest);
        const QString out = text(guest.result("window.out"));
        QVERIFY2(text(guest.result("window.status")) == "0", qPrintable(out + guest.result("window.err")));
        QVERIFY2(out.startsWith("port: ttyUSB0  QEMU USB SERIAL, QEMU, usb 0403:6001, IAPVMW0"), qPrintable(out));
        QVERIFY2(out.contains("status: IAP　Successfully\nstatus: IAP Checksum right"), qPrintable(out));
        QCOMPARE(device.flash(0x08004000, app.size()), app);
    }

    // A CDC-ACM board through the real cdc_acm driver: a USB gadget inside the guest, the virtual
    // device on the gadget's end.
    void cdcAcmBoard()
    {
        VirtualMachine guest(QStringLiteral("cdc-acm.sh"));
        const QByteArray app = pattern(PageBytes + 900, 10);
        QVERIFY(writeFile(guest.resultPath("app.bin"), app));
        runToEnd(guest);
        const QString ports = text(guest.result("ports.out"));
        QVERIFY2(ports.contains(QRegularExpression("^ttyACM0  .*usb 1d6b:0104, IAPVMACM0$", QRegularExpression::MultilineOption)), qPrintable(ports));
        const QString udev = text(guest.result("udev-acm"));
        QVERIFY2(udev.contains("E: ID_MM_DEVICE_IGNORE=1") && udev.contains(QRegularExpression("E: TAGS=.*:uaccess:")), qPrintable(udev));
        for (const QString run : {"download", "write", "read"})
            QVERIFY2(text(guest.result(run + ".status")) == "0", qPrintable(run + ": " + guest.result(run + ".out") + guest.result(run + ".err")));
        const QByteArray flash = guest.result("flash.bin");
        QCOMPARE(flash.mid(0x4000, app.size()), app);
        QCOMPARE(flash.mid(0x10000, app.size()), app);
        QCOMPARE(guest.result("read.bin"), app + QByteArray(2 * PageBytes - app.size(), char(0xFF)));
    }

    // An adapter pulled out in mid-transfer ends the run at once as "port lost" (exit 3), with
    // no descriptor of the port kept, well before its time-out; the next plug's run passes.
    void pulledDuringTransfer()
    {
        RuntimeDir runtime;
        VirtualDevice device;
        QVERIFY(device.start());
        VirtualMachine guest(QStringLiteral("pulled.sh"));
        const QString serial = QStringLiteral("IAPVMPL0");
        guest.addAdapter(device, serial);
        const QByteArray app = pattern(12 * PageBytes, 6);
        QVERIFY(writeFile(guest.resultPath("app.bin"), app));
        QVERIFY(guest.start());
        for (const QString run : {"download", "read"}) {
            QVERIFY2(guest.waitForResult(run + ".pull", CaseMs), qPrintable(guest.caseLog() + guest.console().right(2000)));
            QVERIFY(guest.unplug(0));
            guest.tell(run + ".pulled");
            QVERIFY(guest.waitForResult(run + ".ended", CaseMs));
            QVERIFY(guest.plug(0, serial));
            guest.tell(run + ".replugged");
            QCOMPARE(text(guest.result(run + ".status")), QStringLiteral("3"));
            const QList<QJsonObject> events = jsonLines(guest.result(run + ".out"));
            QVERIFY(!events.isEmpty());
            QCOMPARE(events.last()["event"].toString(), QStringLiteral("result"));
            QCOMPARE(events.last()["text"].toString(), QStringLiteral("port lost"));
            // Not after its time-out of 30 s.
            QVERIFY2(text(guest.result(run + ".ms")).toInt() < 10000, qPrintable(text(guest.result(run + ".ms"))));
            QVERIFY2(!guest.result(run + ".fds").contains("ttyUSB"), guest.result(run + ".fds").constData());
        }
        QVERIFY2(guest.finish(CaseMs), qPrintable(guest.console().right(3000)));
        QVERIFY2(guest.caseStatus() == 0, qPrintable(guest.caseLog()));
        QCOMPARE(text(guest.result("download-again.status")), QStringLiteral("0"));
        QCOMPARE(text(guest.result("read-again.status")), QStringLiteral("0"));
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
        VirtualDevice boardA, boardB;
        QVERIFY(boardA.start() && boardB.start());
        VirtualDevice* boards[] = {&boardA, &boardB};
        VirtualMachine guest(QStringLiteral("hotplug.sh"));
        guest.addAdapter(boardA, QStringLiteral("IAPVMA00"));
        guest.addAdapter(boardB, QString());
        QVERIFY(writeFile(guest.resultPath("app.bin"), pattern(PageBytes + 700, 7)));
        QVERIFY(guest.start());
        QVERIFY2(guest.waitForResult("station-started", CaseMs), qPrintable(guest.caseLog() + guest.console().right(2000)));
        const QString sockets[] = {text(guest.result("socket-a")), text(guest.result("socket-b"))};
        const auto rounds = [&](int socket) {
            QList<QJsonObject> found;
            for (const QJsonObject& event : jsonLines(guest.result("station.out")))
                if (event["event"] == "round" && event["port"] == sockets[socket])
                    found << event;
            return found;
        };
        QStringList serials[] = {{"IAPVMA00"}, {}};
        bool in[] = {true, false};
        QVERIFY2(waitUntil([&] { return rounds(0).size() == 1; }, CaseMs), guest.result("station.out").constData());
        for (int plug = 1; plug <= Plugs; ++plug) {
            for (int socket : {0, 1}) {
                if (in[socket])
                    QVERIFY(guest.unplug(socket));
                // Each board a fresh device.
                QVERIFY(boards[socket]->restart());
                serials[socket] << QStringLiteral("IAPVM%1%2").arg(socket == 0 ? 'A' : 'B').arg(plug, 2, 10, QLatin1Char('0'));
                const int pagesBefore = boards[socket]->logCount(" RX PAGE 0 ");
                QVERIFY(guest.plug(socket, serials[socket].last()));
                in[socket] = true;
                if (socket == 0 && plug == PulledPlug) {
                    QVERIFY(boards[0]->waitForLog(" RX PAGE 0 ", pagesBefore + 1, CaseMs));
                    QVERIFY(guest.unplug(0));
                    in[0] = false;
                }
            }
            QVERIFY2(waitUntil([&] { return rounds(0).size() == serials[0].size() && rounds(1).size() == serials[1].size(); }, CaseMs),
                     guest.result("station.out").constData());
        }
        for (int socket : {0, 1})
            if (in[socket])
                QVERIFY(guest.unplug(socket));
        guest.tell("all-out");
        QVERIFY2(guest.finish(CaseMs), qPrintable(guest.console().right(3000)));
        QVERIFY2(guest.caseStatus() == 0, qPrintable(guest.caseLog()));

        QCOMPARE(text(guest.result("station.status")), QStringLiteral("1"));
        QVERIFY2(!guest.result("station.fds").contains("ttyUSB"), guest.result("station.fds").constData());
        // Waiting for boards takes little of the processor: 3 s are 300 ticks.
        QVERIFY2(text(guest.result("station.idle-ticks")).toInt() < 100, guest.result("station.idle-ticks").constData());
        QList<QJsonObject> records[2];
        for (const QJsonObject& record : jsonLines(guest.result("journal.out")))
            for (int socket : {0, 1})
                if (record["socket"] == sockets[socket])
                    records[socket] << record;
        for (int socket : {0, 1}) {
            QCOMPARE(records[socket].size(), serials[socket].size());
            for (qsizetype i = 0; i < records[socket].size(); ++i) {
                const QJsonObject& record = records[socket][i];
                QCOMPARE(record["serial"].toString(), serials[socket][i]);
                QCOMPARE(record["usbId"].toString(), QStringLiteral("0403:6001"));
                QCOMPARE(record["byPath"].toString(), sockets[socket]);
                const bool pulled = socket == 0 && i == PulledPlug;
                QCOMPARE(record["category"].toString(), pulled ? QStringLiteral("board removed") : QStringLiteral("right"));
            }
        }
    }

private:
    void runToEnd(VirtualMachine& guest)
    {
        QVERIFY(guest.start());
        QVERIFY2(guest.finish(CaseMs), qPrintable(guest.console().right(3000)));
        QVERIFY2(guest.caseStatus() == 0, qPrintable(guest.caseLog() + guest.console().right(3000)));
    }
};

IAP_TEST_GUILESS_MAIN_IN_PARTS(VmTest)
#include "tst_vm.moc"
