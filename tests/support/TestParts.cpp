#include "TestParts.h"

#include <QMetaMethod>
#include <QRegularExpression>

namespace iap::test {
namespace {

bool isTestFunction(const QMetaMethod& method)
{
    static const QStringList fixtures{"initTestCase", "cleanupTestCase", "init", "cleanup"};
    const QString name = QString::fromLatin1(method.name());
    return method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private && method.parameterCount() == 0
           && !fixtures.contains(name) && !name.endsWith(QLatin1String("_data"));
}

}  // namespace

QStringList partArguments(const QMetaObject& test, const QStringList& arguments)
{
    const QRegularExpressionMatch part = QRegularExpression(QStringLiteral("^(\\d+)/(\\d+)$")).match(qEnvironmentVariable("IAP_TEST_PART"));
    if (!part.hasMatch() || arguments.size() > 1)
        return arguments;
    const int index = part.captured(1).toInt();
    const int parts = part.captured(2).toInt();
    QStringList selected = arguments;
    int dealt = 0;
    for (int i = test.methodOffset(); i < test.methodCount(); ++i)
        if (const QMetaMethod method = test.method(i); isTestFunction(method) && dealt++ % parts == index)
            selected << QString::fromLatin1(method.name());
    // No function named would run them all.
    if (selected.size() == arguments.size())
        qFatal("IAP_TEST_PART=%d/%d: %s has no test function for this part", index, parts, test.className());
    return selected;
}

}  // namespace iap::test
