#include "window/BoxNumber.h"

#include <QtTest>

#include <limits>

using iap::BoxNumber;

class BoxNumberTest : public QObject {
    Q_OBJECT

private slots:
    void decimalBoxes_data()
    {
        constexpr qint64 largest = std::numeric_limits<std::int64_t>::max();
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("0") << "0" << qint64(0);
        QTest::newRow("00") << "00" << qint64(0);
        QTest::newRow("007") << "007" << qint64(7);
        QTest::newRow("12abc") << "12abc" << qint64(12);
        QTest::newRow("-1") << "-1" << qint64(-1);
        QTest::newRow("+5") << "+5" << qint64(5);
        QTest::newRow("leading blank") << " 7" << qint64(7);
        QTest::newRow("blank only") << "  " << qint64(0);
        QTest::newRow("sign only") << "-" << qint64(0);
        QTest::newRow("letters") << "abc" << qint64(0);
        QTest::newRow("digits then blank") << "1 2" << qint64(1);
        QTest::newRow("decimal point") << "3.9" << qint64(3);
        QTest::newRow("fullwidth digit") << QStringLiteral("\uFF17") << qint64(0);
        QTest::newRow("largest") << "9223372036854775807" << largest;
        QTest::newRow("one past the largest") << "9223372036854775808" << largest;
        QTest::newRow("huge run of digits") << QString(400, u'9') << largest;
        QTest::newRow("huge negative run") << QStringLiteral("-") + QString(400, u'9') << -largest;
        QTest::newRow("huge run then junk") << QString(30, u'1') + QStringLiteral("x5") << largest;
    }

    void decimalBoxes()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QCOMPARE(qint64(BoxNumber(text)), value);
    }
};

QTEST_MAIN(BoxNumberTest)
#include "tst_window_box_number.moc"
