// The files toolchains emit, made from a binary by binutils in the test itself: iap-cli sends
// the binary to the file's address (the device's flash then holds it there, gaps erased), a
// malformed file is refused before any port is opened, and the window takes the file's address.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "Tool.h"
#include "Wait.h"
#include "journal/Journal.h"

#include <QProcess>
#include <QTemporaryDir>

using namespace iap::test;

namespace {

constexpr int RunTimeoutMs = 60000;
constexpr quint32 Address = 0x08004000;
constexpr char Erased = char(0xFF);

struct Run {
    int exit = -1;
    QString errors;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(RunTimeoutMs);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardError())};
}

// The binary as ihex, srec (objcopy picks S1, S2 or S3 by the address), S37 (S3 forced, short
// records), elf32 or elf64. objcopy alone makes no loadable segment; ld links one whose virtual
// address is in RAM and whose physical address is `address`, as a toolchain places .data.
QString toolchainFile(const QString& folder, const QByteArray& binary, const QString& format, quint32 address)
{
    const QString in = folder + QStringLiteral("/in-%1.bin").arg(address, 0, 16), out = in + u'.' + format;
    if (!writeFile(in, binary))
        return {};
    const QString hex = QStringLiteral("0x%1").arg(address, 0, 16);
    if (format.startsWith(QLatin1String("elf"))) {
        const bool wide = format == QLatin1String("elf64");
        const QString script = out + QStringLiteral(".ld");
        writeFile(script, QStringLiteral("SECTIONS { .data 0x20000000 : AT(%1) { *(.data) } }\n").arg(hex).toLatin1());
        const bool made = run("objcopy", {"-I", "binary", "-O", wide ? "elf64-x86-64" : "elf32-i386", "-B", wide ? "i386:x86-64" : "i386", in, out + ".o"}).exit == 0 &&
                          run("ld", {"-m", wide ? "elf_x86_64" : "elf_i386", "-e", "0", "-T", script, "-o", out, out + ".o"}).exit == 0;
        return made ? out : QString();
    }
    QStringList options{"-I", "binary", "-O", format == QLatin1String("ihex") ? "ihex" : "srec", "--change-addresses", hex};
    if (format == QLatin1String("S37"))
        options << "--srec-forceS3" << "--srec-len" << "16";
    return run("objcopy", options << in << out).exit == 0 ? out : QString();
}

QByteArray lines(const QString& path, qsizetype from, qsizetype count = -1)
{
    return readFile(path).split('\n').mid(from, count).join('\n');
}

// Where line n (from 1) begins.
qsizetype lineStart(const QByteArray& text, int n)
{
    qsizetype start = 0;
    while (--n > 0)
        start = text.indexOf('\n', start) + 1;
    return start;
}

}  // namespace

class ImageFormatsTest : public QObject {
    Q_OBJECT

private slots:
    void flashHoldsTheBinary_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("format");
        QTest::addColumn<quint32>("address");
        QTest::addColumn<QString>("flashBase");
        QTest::addColumn<int>("gap");
        QTest::newRow("Intel HEX") << "download" << "ihex" << Address << "0x08000000" << 0;
        QTest::newRow("S19") << "write" << "srec" << 0x4000u << "0" << 0;
        QTest::newRow("S28") << "download" << "srec" << 0x00804000u << "0x00800000" << 0;
        QTest::newRow("S37") << "write" << "S37" << Address << "0x08000000" << 0;
        QTest::newRow("ELF 32-bit") << "download" << "elf32" << Address << "0x08000000" << 0;
        QTest::newRow("ELF 64-bit") << "write" << "elf64" << Address << "0x08000000" << 0;
        QTest::newRow("unaligned start") << "write" << "ihex" << Address + 0x10 << "0x08000000" << 0;
        // Ending on a page's end: no page after it is erased.
        QTest::newRow("a gap") << "download" << "ihex" << Address << "0x08000000" << 0x2090;
        QTest::newRow("a round's application") << "program" << "elf32" << Address << "0x08000000" << 0;
    }
    void flashHoldsTheBinary()
    {
        QFETCH(QString, command);
        QFETCH(QString, format);
        QFETCH(quint32, address);
        QFETCH(QString, flashBase);
        QFETCH(int, gap);
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device(fast({"--flash-base", flashBase}));
        QVERIFY(device.start());
        const QByteArray binary = pattern(5000, 1), second = pattern(1000, 2);
        QString path = toolchainFile(files.path(), binary, format, address);
        QVERIFY(!path.isEmpty());
        // A second file's records after the first's, all but its end-of-file record.
        QByteArray expected = QByteArray(int(address % PageBytes), Erased) + binary;
        if (gap > 0) {
            const QString tail = toolchainFile(files.path(), second, format, address + binary.size() + gap);
            QVERIFY(writeFile(path, lines(path, 0, lines(path, 0).count('\n') - 1) + '\n' + readFile(tail)));
            expected += QByteArray(gap, Erased) + second;
        }
        const quint32 target = address - address % PageBytes, pages = quint32(expected.size() + PageBytes - 1) / PageBytes;
        const QString journal = files.filePath("journal.sqlite");

        const QStringList image = command == "program" ? QStringList{"--app", path} : QStringList{path};
        const Run sent = run(IAP_CLI_PATH, QStringList{command, "--port", device.linkPath(), "--journal", journal} + image);
        QCOMPARE(sent.exit, 0);
        QCOMPARE(device.receivedFrames().value(0), (command == "write" ? writeCommand : eraseCommand)(target, pages - 1));
        QCOMPARE(device.flash(target, expected.size()), expected);
        QString error;
        const iap::JournalStep step = iap::Journal(journal).records({}, error).at(0).steps.at(0);
        QCOMPARE(step.format, format.startsWith("elf") ? "elf" : format == "S37" ? "srec" : format);
        QCOMPARE(step.addressRange, QStringLiteral("%1-%2").arg(target, 8, 16, QChar('0')).arg(target + pages * PageBytes - 1, 8, 16, QChar('0')).toUpper());
    }

    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("text");
        QTest::newRow("HEX record checksum") << "checksum.hex" << "" << "checksum.hex: line 3: the record's checksum is";
        QTest::newRow("S-record checksum") << "checksum.srec" << "" << "checksum.srec: line 3: the record's checksum is";
        QTest::newRow("no end-of-file record") << "noend.hex" << "" << "noend.hex: it ends without an end-of-file record";
        QTest::newRow("cut short in a record") << "cut.srec" << "" << "cut.srec: line 2: the record has";
        QTest::newRow("overlapping records") << "overlap.hex" << "" << "overlap.hex: line 4: its bytes 08004010-0800401F overlap";
        QTest::newRow("beyond 4 GiB") << "top.srec" << "" << "top.srec: line 2: its bytes from FFFFFFF8 reach beyond the 4 GiB";
        QTest::newRow("ELF without loadable segment") << "object.elf" << "" << "object.elf: it has no loadable segment";
        QTest::newRow("ELF cut short") << "cut.elf" << "" << "cut.elf: program header 0 (a loadable segment): its 5000 bytes";
        QTest::newRow("address that differs") << "good.hex" << "08000000" << "the address given, 08000000, differs from 08004000";
    }
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(QString, file);
        QFETCH(QString, address);
        QFETCH(QString, text);
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device(fast());
        QVERIFY(device.start());
        const QString hex = toolchainFile(files.path(), pattern(5000, 3), "ihex", Address), srec = toolchainFile(files.path(), pattern(5000, 3), "S37", Address);
        const QString elf = toolchainFile(files.path(), pattern(5000, 3), "elf32", Address), top = toolchainFile(files.path(), pattern(16, 4), "srec", 0xFFFFFFF8);
        QVERIFY(!hex.isEmpty() && !srec.isEmpty() && !elf.isEmpty() && !top.isEmpty());
        // The last hexadecimal digit of line 3, the checksum, one off.
        const auto wrongSum = [](QByteArray text) {
            const qsizetype end = text.indexOf("\r\n", lineStart(text, 3)) - 1;
            text[end] = text[end] == '0' ? '1' : '0';
            return text;
        };
        const std::map<QString, QByteArray> made{{"good.hex", readFile(hex)},
                                                 {"checksum.hex", wrongSum(readFile(hex))},
                                                 {"checksum.srec", wrongSum(readFile(srec))},
                                                 {"noend.hex", lines(hex, 0, lines(hex, 0).count('\n') - 1)},
                                                 {"cut.srec", readFile(srec).left(lineStart(readFile(srec), 2) + 20)},
                                                 {"overlap.hex", lines(hex, 0, 3) + '\n' + lines(hex, 2)},
                                                 {"top.srec", readFile(top)},
                                                 {"object.elf", readFile(elf + ".o")},
                                                 {"cut.elf", readFile(elf).left(6000)}};
        QVERIFY(writeFile(files.filePath(file), made.at(file)));
        QStringList arguments{"download", "--port", device.linkPath(), files.filePath(file)};
        if (!address.isEmpty())
            arguments << "--address" << address;

        const Run refused = run(IAP_CLI_PATH, arguments);
        QCOMPARE(refused.exit, 2);
        QVERIFY2(refused.errors.contains(text), qPrintable(refused.errors));
        QCOMPARE(device.logCount(QStringLiteral("INFO port opened")), 0);
    }

    // Choosing the file fills the address boxes from it and locks them, as a header page does
    // when its image is written; a malformed file is refused in a message box and not taken.
    void windowTakesTheFilesAddress_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("application") << "cmdLoad";
        QTest::newRow("flash slot 1") << "Command1(1)";
    }
    void windowTakesTheFilesAddress()
    {
        QFETCH(QString, button);
        Bench bench;
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        tool.setAddress(0x01020304);
        const QString hex = toolchainFile(bench.files.path(), pattern(5000, 5), "ihex", Address + 0x800);
        const QString cut = bench.file("cut.hex", readFile(hex).left(lineStart(readFile(hex), 3) + 41));
        const auto boxes = [&tool] {
            QStringList shown;
            for (int i = 0; i < 4; ++i)
                shown << tool.text(QStringLiteral("目标地址(%1)").arg(i)) + (tool.box(QStringLiteral("目标地址(%1)").arg(i))->isEnabled() ? "" : " locked");
            return shown.join(u',');
        };
        tool.desktop.fileDialog->answers << cut << hex;
        tool.click(button);
        QCOMPARE(tool.desktop.messageBox->shown.value(0), QStringLiteral("IAP|%1: line 3: the record has 20 bytes where its length asks for 21: it is cut short or run together|!").arg(cut));
        QCOMPARE(boxes(), "01,02,03,04");
        tool.click(button);
        QCOMPARE(boxes(), "8 locked,0 locked,48 locked,0 locked");
        QVERIFY(tool.desktop.fileDialog->filters.last().endsWith(";;Intel HEX (*.hex *.ihex);;Motorola S-record (*.srec *.s19 *.s28 *.s37 *.mot);;ELF (*.elf *.axf)"));
    }
};

QTEST_MAIN(ImageFormatsTest)
#include "tst_image_formats.moc"
