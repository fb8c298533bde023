// The files toolchains emit, made from a binary by binutils in the test itself: iap-cli sends
// the binary to the file's address (the device's flash then holds it there, gaps erased), a
// malformed file is refused before any port is opened, and the window takes the file's address.
#include "Device.h"
#include "Files.h"
#include "Program.h"
#include "RuntimeDir.h"
#include "Tool.h"
#include "Wait.h"
#include "journal/Journal.h"

#include <QTemporaryDir>

#include <sys/resource.h>

using namespace iap::test;

namespace {

constexpr quint32 Address = 0x08004000;
constexpr char Erased = char(0xFF);
// Far above what a sanitized iap-cli holds for an image of 16 MiB, far below what it would for
// 2048 copies of a MiB.
constexpr long PeakMiB = 1024;

// The binary as ihex (objcopy gives an address below 1 MiB by segment, record type 02, one above
// it as a linear address, 04), srec (objcopy picks S1, S2 or S3 by the address), S37 (S3 forced,
// short records), elf32, elf32bss or elf64. objcopy alone makes no loadable segment; ld links one
// whose virtual address is in RAM and whose physical address is `address`, as a toolchain places
// .data, followed with elf32bss by a .bss in the same segment, in memory and not in the file.
QString toolchainFile(const QString& folder, const QByteArray& binary, const QString& format, quint32 address)
{
    const QString in = folder + QStringLiteral("/in-%1.bin").arg(address, 0, 16), out = in + u'.' + format;
    if (!writeFile(in, binary))
        return {};
    if (format == QLatin1String("bin"))
        return in;
    const QString hex = QStringLiteral("0x%1").arg(address, 0, 16);
    if (format.startsWith(QLatin1String("elf"))) {
        const bool wide = format == QLatin1String("elf64");
        const QString script = out + QStringLiteral(".ld");
        const QString bss = format.endsWith(QLatin1String("bss")) ? QStringLiteral(".bss : { . += 0x4000; } ") : QString();
        writeFile(script, QStringLiteral("SECTIONS { .data 0x20000000 : AT(%1) { *(.data) } %2}\n").arg(hex, bss).toLatin1());
        const bool made = runProgram("objcopy", {"-I", "binary", "-O", wide ? "elf64-x86-64" : "elf32-i386", "-B", wide ? "i386:x86-64" : "i386", in, out + ".o"}).exit == 0 &&
                          runProgram("ld", {"-m", wide ? "elf_x86_64" : "elf_i386", "-e", "0", "-T", script, "-o", out, out + ".o"}).exit == 0;
        return made ? out : QString();
    }
    QStringList options{"-I", "binary", "-O", format == QLatin1String("ihex") ? "ihex" : "srec", "--change-addresses", hex};
    if (format == QLatin1String("S37"))
        options << "--srec-forceS3" << "--srec-len" << "16";
    return runProgram("objcopy", options << in << out).exit == 0 ? out : QString();
}

QByteArray lines(const QString& path, qsizetype from, qsizetype count = -1)
{
    return readFile(path).split('\n').mid(from, count).join('\n');
}

// An ELF file whose 2048 loadable segments all hold the same MiB of the file, each at an
// address a MiB further on: read whole, it would take 2 GiB.
QByteArray segmentsOverOneMiB()
{
    constexpr quint32 Headers = 2048, HeaderBytes = 52, ProgramHeaderBytes = 32, SegmentBytes = 1 << 20;
    QByteArray elf;
    const auto put = [&elf](quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            elf += char(value >> (8 * i));
    };
    elf += QByteArray("\x7F" "ELF\x01\x01\x01", 7) + QByteArray(9, 0);
    for (const auto& [value, bytes] : {std::pair{2u, 2}, {0x28u, 2}, {1u, 4}, {0u, 4}, {HeaderBytes, 4}, {0u, 4}, {0u, 4}, {HeaderBytes, 2},
                                       {ProgramHeaderBytes, 2}, {Headers, 2}, {0u, 2}, {0u, 2}, {0u, 2}})
        put(value, bytes);
    const quint32 data = HeaderBytes + Headers * ProgramHeaderBytes;
    for (quint32 i = 0; i < Headers; ++i)
        for (const quint32 field : {1u, data, i * SegmentBytes, i * SegmentBytes, SegmentBytes, SegmentBytes, 5u, 4u})
            put(field, 4);
    return elf + pattern(SegmentBytes, 9);
}

// The most any iap-cli run of this test held in memory at once, in MiB.
long childrensPeakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss / 1024;
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
        // What an editor made of the file before it was given, with the address beside it.
        QTest::addColumn<QByteArray>("edit");
        QTest::newRow("Intel HEX") << "download" << "ihex" << Address << "0x08000000" << 0 << QByteArray();
        QTest::newRow("S19") << "write" << "srec" << 0x4000u << "0" << 0 << QByteArray();
        QTest::newRow("S28") << "download" << "srec" << 0x00804000u << "0x00800000" << 0 << QByteArray();
        QTest::newRow("S37") << "write" << "S37" << Address << "0x08000000" << 0 << QByteArray();
        QTest::newRow("ELF 32-bit") << "download" << "elf32" << Address << "0x08000000" << 0 << QByteArray();
        QTest::newRow("ELF 32-bit with .bss") << "download" << "elf32bss" << Address << "0x08000000" << 0 << QByteArray();
        QTest::newRow("ELF 64-bit") << "write" << "elf64" << Address << "0x08000000" << 0 << QByteArray();
        QTest::newRow("unaligned start") << "write" << "ihex" << Address + 0x10 << "0x08000000" << 0 << QByteArray();
        QTest::newRow("HEX by segment") << "write" << "ihex" << 0x14000u << "0" << 0 << QByteArray();
        // Ending on a page's end: no page after it is erased.
        QTest::newRow("a gap") << "download" << "ihex" << Address << "0x08000000" << 0x2090 << QByteArray();
        QTest::newRow("a round's application") << "program" << "elf32" << Address << "0x08000000" << 0 << QByteArray();
        QTest::newRow("HEX after a blank line") << "download" << "ihex" << Address << "0x08000000" << 0 << QByteArray("\r\n");
        QTest::newRow("HEX after a byte-order mark") << "write" << "ihex" << Address << "0x08000000" << 0 << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("raw bytes that begin with a colon") << "download" << "bin" << Address << "0x08000000" << 0 << QByteArray();
        QTest::newRow("S37 with a blank after its first record") << "download" << "S37" << Address << "0x08000000" << 0 << QByteArray(" ");
    }
    void flashHoldsTheBinary()
    {
        QFETCH(QString, command);
        QFETCH(QString, format);
        QFETCH(quint32, address);
        QFETCH(QString, flashBase);
        QFETCH(int, gap);
        QFETCH(QByteArray, edit);
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device(fast({"--flash-base", flashBase}));
        QVERIFY(device.start());
        const QByteArray binary = format == "bin" ? ':' + pattern(4999, 1) : pattern(5000, 1), second = pattern(1000, 2);
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
        QStringList image = command == "program" ? QStringList{"--app", path} : QStringList{path};
        const QByteArray text = readFile(path);
        const qsizetype firstLineEnd = text.indexOf('\n') - (text.contains("\r\n") ? 1 : 0);
        if (edit == " ")
            QVERIFY(writeFile(path, QByteArray(text).insert(firstLineEnd, ' ')));
        else if (!edit.isEmpty())
            QVERIFY(writeFile(path, edit + text));
        if (!edit.isEmpty() || format == "bin")
            image << "--address" << QString::number(target, 16).rightJustified(8, '0');

        const Finished sent = runProgram(IAP_CLI_PATH, QStringList{command, "--port", device.linkPath(), "--journal", journal} + image);
        QCOMPARE(sent.exit, 0);
        QCOMPARE(device.receivedFrames().value(0), (command == "write" ? writeCommand : eraseCommand)(target, pages - 1));
        QCOMPARE(device.flash(target, expected.size()), expected);
        QString error;
        const iap::JournalRecord record = iap::Journal(journal).records().matching({}, error).at(0);
        // Where the file's own addresses sent it, when no address was given.
        QCOMPARE(record.address, QStringLiteral("%1").arg(target, 8, 16, QChar('0')).toUpper());
        const iap::JournalStep step = record.steps.at(0);
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
        QTest::newRow("ELF program headers cut short") << "headers.elf" << "" << "headers.elf: its 2048 program headers lie beyond the end of the file";
        QTest::newRow("address that differs") << "good.hex" << "08000000" << "the address given, 08000000, differs from 08004000";
        // Text of records is never flashed as raw bytes, whatever its name or the address given.
        QTest::newRow("damaged first record") << "text.bin" << "08004000" << "text.bin: line 1: a record is pairs of hexadecimal digits";
        QTest::newRow("damaged S-record after a blank line") << "text.txt" << "08004000" << "text.txt: line 4: the record's checksum is";
        QTest::newRow("raw bytes named .hex") << "raw.hex" << "08004000" << "raw.hex: its name says Intel HEX, but its content is neither text of records nor ELF";
        QTest::newRow("two HEX files joined") << "joined.hex" << "" << "joined.hex: line 317: it follows the end-of-file record of line 316";
        QTest::newRow("two S-record files joined") << "joined.s37" << "" << "joined.s37: line 316: it follows the termination record of line 315";
        QTest::newRow("S-record with a record missing") << "missing.s37" << "" << "missing.s37: line 314: its count of data records is 313 where the file has 312";
        QTest::newRow("records 255 MiB apart") << "apart.hex" << "" << "apart.hex: line 5: its bytes at 17F04000 and those at 08004000 lie 256 MiB apart, more than the 16 MiB";
        QTest::newRow("2048 segments over one MiB") << "many.elf" << "" << "many.elf: program header 16 (a loadable segment): its bytes at 01000000 and those at 00000000 lie 17 MiB apart";
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
        const QString far = toolchainFile(files.path(), pattern(16, 4), "ihex", Address + 0x0FF00000);
        QVERIFY(!far.isEmpty());
        // The last hexadecimal digit of a line, the checksum, one off.
        const auto wrongSum = [](QByteArray text, int line = 3) {
            const qsizetype end = text.indexOf(QByteArray(text.contains("\r\n") ? "\r\n" : "\n"), lineStart(text, line)) - 1;
            text[end] = text[end] == '0' ? '1' : '0';
            return text;
        };
        // Its third line, a data record, taken out; then the count of the 313 records there were
        // (S5, count 0139), before the termination record.
        QByteArrayList s37 = readFile(srec).split('\n');
        s37.removeAt(2);
        s37.insert(s37.size() - 2, "S5030139C2");
        const std::map<QString, QByteArray> made{{"good.hex", readFile(hex)},
                                                 {"checksum.hex", wrongSum(readFile(hex))},
                                                 {"checksum.srec", wrongSum(readFile(srec))},
                                                 {"noend.hex", lines(hex, 0, lines(hex, 0).count('\n') - 1)},
                                                 {"cut.srec", readFile(srec).left(lineStart(readFile(srec), 2) + 20)},
                                                 {"overlap.hex", lines(hex, 0, 3) + '\n' + lines(hex, 2)},
                                                 {"top.srec", readFile(top)},
                                                 {"object.elf", readFile(elf + ".o")},
                                                 {"cut.elf", readFile(elf).left(6000)},
                                                 {"text.bin", readFile(hex).replace(3, 1, "G")},
                                                 {"text.txt", "\n\n" + wrongSum(readFile(srec), 2)},
                                                 {"raw.hex", pattern(300, 5)},
                                                 {"joined.hex", readFile(hex) + readFile(hex)},
                                                 {"missing.s37", s37.join('\n')},
                                                 {"joined.s37", readFile(srec) + readFile(srec)},
                                                 {"apart.hex", lines(hex, 0, 3) + '\n' + readFile(far)},
                                                 {"many.elf", segmentsOverOneMiB()},
                                                 {"headers.elf", segmentsOverOneMiB().left(100)}};
        QVERIFY(writeFile(files.filePath(file), made.at(file)));
        QStringList arguments{"download", "--port", device.linkPath(), files.filePath(file)};
        if (!address.isEmpty())
            arguments << "--address" << address;

        const Finished refused = runProgram(IAP_CLI_PATH, arguments);
        QCOMPARE(refused.exit, 2);
        QVERIFY2(refused.err.contains(text), qPrintable(refused.err));
        QCOMPARE(device.logCount(QStringLiteral("INFO port opened")), 0);
        // No file is held in memory much beyond its own size and the flash it names.
        QVERIFY2(childrensPeakMiB() < PeakMiB, qPrintable(QString::number(childrensPeakMiB())));
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
        QVERIFY(tool.desktop.fileDialog->filters.last().endsWith(";;Intel HEX (*.hex *.ihex);;Motorola S-record (*.srec *.s19 *.s28 *.s37 *.mot);;ELF (*.elf *.axf);;All files (*)"));
    }
};

QTEST_MAIN(ImageFormatsTest)
#include "tst_image_formats.moc"
