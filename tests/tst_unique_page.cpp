// A board's unique page: its definition in a job file, what is refused, and the page's bytes.
#include "Files.h"
#include "unique/UniquePage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using iap::UniquePage;
using iap::test::PageBytes;

namespace {

const QDateTime RoundStart = QDateTime::fromString(QStringLiteral("2026-12-08T07:40:00Z"), Qt::ISODate);

// JSON written with ' for ".
QJsonObject pageJson(const QString& fields, const QString& more = {})
{
    return QJsonDocument::fromJson(QStringLiteral("{'address': '08004000', 'fields': [%1]%2}").arg(fields, more).replace(u'\'', u'"').toUtf8()).object();
}

// The value at `index` of each of the page's draws, as the journal reserves them.
std::vector<iap::UniqueReserved> reserve(const UniquePage& page, std::int64_t index = 0)
{
    std::vector<iap::UniqueReserved> values;
    for (const iap::UniqueDraw& draw : page.draws())
        values.push_back({draw.pool, index, draw.valueAt(index)});
    return values;
}

// Erased flash with `bytes` at each offset.
QByteArray pageOf(const QList<std::pair<int, QByteArray>>& placed)
{
    QByteArray page(PageBytes, char(0xFF));
    for (const auto& [offset, bytes] : placed)
        page.replace(offset, bytes.size(), bytes);
    return page;
}

const char* const EveryKind = "{'name': 'sn', 'kind': 'serial', 'offset': 0, 'start': 123, 'step': 2, 'format': 'SN-{:06}', 'width': 12},"
    "{'name': 'code', 'kind': 'barcode', 'offset': 12, 'width': 8},"
    "{'name': 'mac', 'kind': 'mac', 'offset': 20, 'first': '02:00:00:00:00:FF', 'last': '02-00-00-00-01-05'},"
    "{'name': 'key', 'kind': 'list', 'offset': 26, 'file': 'keys.txt', 'width': 6},"
    "{'name': 'board', 'kind': 'serial', 'offset': 32, 'start': 16909060, 'binary': 'u32be', 'pool': 'boards'},"
    "{'name': 'made', 'kind': 'time', 'offset': 2044}";

}  // namespace

class UniquePageTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

    std::optional<UniquePage> load(const QJsonObject& json, QString& why) const { return UniquePage::fromJson(json, QDir(folder.path()), PageBytes, why); }
    UniquePage loaded(const QJsonObject& json) const
    {
        QString why;
        const std::optional<UniquePage> page = load(json, why);
        [&] { QVERIFY2(page, qPrintable(why)); }();
        return page.value_or(UniquePage());
    }
    UniquePage::Content rendered(const UniquePage& page, std::int64_t index = 0, const QString& barcode = {}) const
    {
        QString why;
        const std::optional<UniquePage::Content> content = page.render(reserve(page, index), barcode, RoundStart, why);
        [&] { QVERIFY2(content, qPrintable(why)); }();
        return content.value_or(UniquePage::Content());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(iap::test::writeFile(folder.filePath(QStringLiteral("keys.txt")), "alpha\r\n\r\nbeta\n\ngamma"));
        QVERIFY(iap::test::writeFile(folder.filePath(QStringLiteral("wide.txt")), "a\nb\nseven77\n"));
        QVERIFY(iap::test::writeFile(folder.filePath(QStringLiteral("empty.txt")), "\r\n\n"));
    }

    // Each kind at its offset, text padded with zeros, the rest erased; fields may touch each other
    // and the page's end. The second value of each draw: a MAC counts across a byte boundary, a
    // list skips its empty lines.
    void everyKind()
    {
        const UniquePage page = loaded(pageJson(EveryKind));
        const std::vector<iap::UniqueDraw> draws = page.draws();
        QCOMPARE(draws.size(), std::size_t(4));
        QCOMPARE(draws[1].count, std::optional<std::int64_t>(7));
        QCOMPARE(draws[2].count, std::optional<std::int64_t>(3));
        QCOMPARE(draws[2].valueAt(2), QStringLiteral("gamma"));
        QVERIFY(page.needsBarcode());
        const UniquePage::Content content = rendered(page, 1, QStringLiteral("AB12"));
        QCOMPARE(content.page, pageOf({{0, QByteArray("SN-000125\0\0\0", 12)},
                                       {12, QByteArray("AB12\0\0\0\0", 8)},
                                       {20, QByteArray::fromHex("020000000100")},
                                       {26, QByteArray("beta\0\0", 6)},
                                       {32, QByteArray::fromHex("01020305")},
                                       {2044, QByteArray::fromHex("50b4176b")}}));
        const std::vector<iap::WrittenValue> expected{{"sn", "SN-000125"}, {"code", "AB12"}, {"mac", "02:00:00:00:01:00"},
                                                      {"key", "beta"},     {"board", "16909061"}, {"made", "2026-12-08T07:40:00Z"}};
        QCOMPARE(content.values, expected);
        QCOMPARE(content.boardSerial, QStringLiteral("SN-000125"));
    }

    void byteOrders_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("bytes");
        const QString serial = QStringLiteral("{'name': 'n', 'kind': 'serial', 'offset': 0, 'start': %1, 'binary': '%2'}");
        QTest::newRow("u32le") << serial.arg(16909060).arg("u32le") << QByteArray::fromHex("04030201");
        QTest::newRow("u32be") << serial.arg(16909060).arg("u32be") << QByteArray::fromHex("01020304");
        QTest::newRow("u64le") << serial.arg(283686952306183).arg("u64le") << QByteArray::fromHex("0706050403020100");
        QTest::newRow("u64be") << serial.arg(283686952306183).arg("u64be") << QByteArray::fromHex("0001020304050607");
        QTest::newRow("time u64le") << QStringLiteral("{'name': 't', 'kind': 'time', 'offset': 0, 'binary': 'u64le'}")
                                    << QByteArray::fromHex("50b4176b00000000");
    }

    void byteOrders()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, bytes);
        QCOMPARE(rendered(loaded(pageJson(field))).page, pageOf({{0, bytes}}));
    }

    void formats()
    {
        const QList<std::tuple<QString, int, QByteArray>> cases{
            {"SN-{:06}", 123, "SN-000123"}, {"{}", 0, "0"},       {"{:5}", 42, "   42"},          {"{:x}", 255, "ff"},
            {"{:X}", 255, "FF"},            {"{:04x}", 255, "00ff"}, {"{:04X}", 3054, "0BEE"},    {"{{{}}}", 7, "{7}"},
            {"a}}b{:03}", 5, "a}b005"},      {"{:0}", 5, "5"},       {"Nº{:02}", 3, "N\xC2\xBA" "03"}};
        for (const auto& [format, number, text] : cases) {
            const QString field = QStringLiteral("{'name': 'n', 'kind': 'serial', 'offset': 4, 'start': %1, 'format': '%2', 'width': 16}");
            const UniquePage::Content content = rendered(loaded(pageJson(field.arg(number).arg(format))));
            QCOMPARE(content.values, std::vector<iap::WrittenValue>({{"n", QString::fromUtf8(text)}}));
            QCOMPARE(content.page, pageOf({{4, text + QByteArray(16 - text.size(), '\0')}}));
        }
    }

    // Listed before the field it covers, a CRC still sees it; a CRC may cover one before it.
    void crcs()
    {
        const UniquePage page = loaded(pageJson(QStringLiteral("{'name': 'inner', 'kind': 'crc32', 'offset': 9, 'from': 0, 'to': 9},"
            "{'name': 'outer', 'kind': 'crc32', 'offset': 13, 'from': 0, 'to': 13, 'binary': 'u32be'},"
            "{'name': 'code', 'kind': 'barcode', 'offset': 0, 'width': 9}")));
        const UniquePage::Content content = rendered(page, 0, QStringLiteral("123456789"));
        QCOMPARE(content.page, pageOf({{0, "123456789"}, {9, QByteArray::fromHex("2639f4cb")}, {13, QByteArray::fromHex("2144df1c")}}));
        QCOMPARE(content.values, std::vector<iap::WrittenValue>({{"inner", "CBF43926"}, {"outer", "2144DF1C"}, {"code", "123456789"}}));
    }

    // A job saved beside its files, or in a folder of its own, loads as it was.
    void roundTrip()
    {
        const UniquePage page = loaded(pageJson(EveryKind, QStringLiteral(", 'onFailure': 'reuse', 'reuseWritten': true")));
        QVERIFY(page.onFailure() == UniquePage::FailureRule::Reuse && page.reuseWritten());
        QCOMPARE(page.address(), iap::addressOf(0x08004000));
        const QJsonObject beside = page.toJson(QDir(folder.path()));
        QCOMPARE(beside.value("fields").toArray().at(3).toObject().value("file").toString(), QStringLiteral("keys.txt"));
        QCOMPARE(loaded(beside), page);
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("jobs")));
        const QDir jobs(folder.filePath(QStringLiteral("jobs")));
        QString why;
        QCOMPARE(UniquePage::fromJson(page.toJson(jobs), jobs, PageBytes, why), std::optional(page));
        const UniquePage plain = loaded(pageJson(QStringLiteral("{'name': 'n', 'kind': 'serial', 'offset': 0, 'start': 1, 'binary': 'u32le'}")));
        QVERIFY(plain.onFailure() == UniquePage::FailureRule::Burn && !plain.reuseWritten() && !plain.needsBarcode());
        QVERIFY(!(plain == page));
    }

    void refusals()
    {
        const auto barcode = [](const char* name, int offset) {
            return QStringLiteral("{'name': '%1', 'kind': 'barcode', 'offset': %2, 'width': 8}").arg(name).arg(offset);
        };
        const QString code = barcode("code", 0);
        const auto serial = [](const QString& keys) { return QStringLiteral("{'name': 'sn', 'kind': 'serial', 'offset': 16, %1}").arg(keys); };
        const auto list = [](const char* file, const char* more = "") {
            return QStringLiteral("{'name': 'key', 'kind': 'list', 'offset': 0, 'file': '%1', 'width': 6%2}").arg(file, more);
        };
        const QList<std::pair<QJsonObject, QStringList>> cases{
            {pageJson(code, ", 'colour': 1"), {"\"colour\"", "address, onFailure, reuseWritten, fields"}},
            {QJsonObject{{"fields", QJsonArray{}}}, {"needs \"address\""}},
            {QJsonObject{{"address", "0800400"}, {"fields", QJsonArray{}}}, {"eight hexadecimal"}},
            {QJsonObject{{"address", "FFFFF900"}, {"fields", QJsonArray{QJsonObject{}}}}, {"4 GiB"}},
            {pageJson(code, ", 'onFailure': 'keep'"), {"burn or reuse"}},
            {pageJson(code, ", 'reuseWritten': 'yes'"), {"reuseWritten", "true or false"}},
            {pageJson(""), {"at least one field"}},
            {pageJson("7"), {"field 1", "object"}},
            {pageJson("{'kind': 'barcode'}"), {"field 1", "needs \"name\""}},
            {pageJson("{'name': 'x', 'kind': 'qr'}"), {"\"x\"", "serial, mac, list, barcode, time or crc32"}},
            {pageJson(serial("'start': 1, 'binary': 'u32le', 'colur': 2")), {"\"colur\"", "serial field \"sn\"", "start, step, end"}},
            {pageJson(serial("'binary': 'u32le'")), {"\"sn\" needs \"start\""}},
            {pageJson(serial("'start': '1', 'binary': 'u32le'")), {"\"start\"", "\"sn\"", "whole number"}},
            {pageJson(serial("'start': 1.5, 'binary': 'u32le'")), {"\"start\"", "whole number"}},
            {pageJson("{'name': 'code', 'kind': 'barcode', 'offset': -1, 'width': 8}"), {"\"offset\"", "whole number"}},
            {pageJson(serial("'start': 1, 'binary': 'u16le'")), {"\"binary\"", "u32le, u32be, u64le or u64be"}},
            {pageJson(serial("'start': 1, 'binary': 'u32le', 'width': 8")), {"\"width\"", "\"sn\"", "must be 4"}},
            {pageJson(serial("'start': 1")), {"\"sn\"", "one of them"}},
            {pageJson(serial("'start': 1, 'format': 'SN-{:q}', 'width': 9")), {"\"format\"", "\"sn\""}},
            {pageJson(serial("'start': 1, 'format': '{}{}', 'width': 9")), {"\"format\""}},
            {pageJson(serial("'start': 1, 'format': 'a}', 'width': 9")), {"\"format\""}},
            {pageJson(serial("'start': 1, 'end': 1000000, 'format': 'SN-{:06}', 'width': 9")), {"\"sn\"", "end 1000000", "9 bytes"}},
            {pageJson(serial("'start': 1, 'end': 4294967296, 'binary': 'u32le'")), {"\"sn\"", "end 4294967296"}},
            {pageJson(serial("'start': 100, 'format': '{}', 'width': 2")), {"\"sn\"", "even its start"}},
            {pageJson(serial("'start': 5, 'end': 4, 'binary': 'u32le'")), {"\"sn\"", "below its start"}},
            {pageJson("{'name': 'm', 'kind': 'mac', 'offset': 0, 'first': '02:00:00:00:01:00', 'last': '02:00:00:00:00:FF'}"), {"\"m\"", "beyond its last"}},
            {pageJson("{'name': 'm', 'kind': 'mac', 'offset': 0, 'first': '02:00:00:00:01', 'last': '02:00:00:00:00:FF'}"), {"\"first\"", "\"m\""}},
            {pageJson(list("wide.txt")), {"\"key\"", "line 3", "wide.txt"}},
            {pageJson(list("empty.txt")), {"\"key\"", "no value"}},
            {pageJson(list("missing.txt")), {"\"key\"", "could not be read"}},
            {pageJson(code + "," + barcode("tag", 7)), {"\"code\" (bytes 0 to 7)", "\"tag\" (bytes 7 to 14)", "overlap"}},
            {pageJson(barcode("code", 2041)), {"\"code\"", "2048-byte page"}},
            {pageJson(code + ", {'name': 'c', 'kind': 'crc32', 'offset': 8, 'from': 0, 'to': 2049}"), {"\"c\"", "2048-byte page"}},
            {pageJson(code + ", {'name': 'c', 'kind': 'crc32', 'offset': 8, 'from': 0, 'to': 9}"), {"\"c\"", "own bytes"}},
            {pageJson(code + ", {'name': 'c', 'kind': 'crc32', 'offset': 8, 'from': 4, 'to': 4}"), {"\"c\"", "empty"}},
            {pageJson("{'name': 'a', 'kind': 'crc32', 'offset': 0, 'from': 4, 'to': 8}, {'name': 'b', 'kind': 'crc32', 'offset': 4, 'from': 0, 'to': 4}"),
             {"\"a\"", "\"b\"", "after it"}},
            {pageJson(code + "," + barcode("code", 8)), {"name \"code\""}},
            {pageJson(serial("'start': 1, 'binary': 'u32le', 'pool': 'p'") + "," + list("keys.txt", ", 'pool': 'p'")), {"\"sn\"", "\"key\"", "pool \"p\""}},
        };
        for (const auto& [json, words] : cases) {
            QString why;
            QVERIFY2(!load(json, why), qPrintable(QJsonDocument(json).toJson(QJsonDocument::Compact)));
            for (const QString& word : words)
                QVERIFY2(why.contains(word), qPrintable(why + " lacks " + word));
        }
    }

    // A value the page cannot hold is no page: a counter used up, a barcode missing or too long.
    void renderRefusals()
    {
        const UniquePage page = loaded(pageJson(QStringLiteral("{'name': 'n', 'kind': 'serial', 'offset': 0, 'start': 4294967294, 'binary': 'u32le'},"
            "{'name': 'sn', 'kind': 'serial', 'offset': 4, 'start': 123, 'step': 2, 'end': 130, 'format': '{}', 'width': 3},"
            "{'name': 'code', 'kind': 'barcode', 'offset': 8, 'width': 4}")));
        const std::vector<iap::UniqueDraw> draws = page.draws();
        QCOMPARE(draws.size(), std::size_t(2));
        QCOMPARE(draws[0].count, std::optional<std::int64_t>(2));
        QCOMPARE(draws[1].count, std::optional<std::int64_t>(4));
        QCOMPARE(draws[1].valueAt(3), QStringLiteral("129"));
        QCOMPARE(rendered(page, 1, QStringLiteral("ABCD")).boardSerial, QStringLiteral("4294967295"));
        const auto refused = [&](std::vector<iap::UniqueReserved> values, const QString& barcode, const QString& word) {
            QString why;
            QVERIFY(!page.render(values, barcode, RoundStart, why));
            QVERIFY2(why.contains(word), qPrintable(why));
        };
        const std::vector<iap::UniqueReserved> fine = reserve(page);
        refused(fine, QStringLiteral("ABCDE"), QStringLiteral("\"ABCDE\" does not fit the 4 bytes of the barcode field \"code\""));
        refused(fine, QString(), QStringLiteral("no barcode"));
        refused({{"n", 2, "4294967296"}, fine[1]}, QStringLiteral("A"), QStringLiteral("\"n\" has used up"));
        refused({fine[0], {"sn", 4, "131"}}, QStringLiteral("A"), QStringLiteral("\"sn\" has used up"));
        refused({fine[0]}, QStringLiteral("A"), QStringLiteral("reserved"));
    }
};

QTEST_GUILESS_MAIN(UniquePageTest)
#include "tst_unique_page.moc"
