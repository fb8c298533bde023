// The tools on a real kernel's USB-serial driver: each case boots a guest (scripts/vm-bench.sh)
// whose emulated FT232 adapters lead to virtual devices on this machine, runs the case of
// tests/vm inside, and judges what the case saw and what the devices got.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "TestParts.h"
#include "VirtualMachine.h"

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
            bursty({"--bootloader-version", "BL-1.07", "--reply-delay-ms", "490", "--split-ms", "40", "--reply-gap-ms", "0"});
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
        QVERIFY2(text(guest.result("silent.ms")).toInt() < 2000 + 3000, qPrintable(text(guest.result("silent.ms"))));

        int versions = 0;
        for (const QJsonObject& record : jsonLines(guest.result("journal.out"))) {
            if (record["serial"].toString() != "IAPVMOP3")
                continue;
            QCOMPARE(record["result"].toString(), QStringLiteral("Write Checksum right"));
            QCOMPARE(record["bootloaderVersion"].toString(), QStringLiteral("BL-1.07"));
            ++versions;
        }
        QCOMPARE(versions, 4);
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
