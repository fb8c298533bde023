#include "unique/ValueList.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace iap {
namespace {

// Far beyond any customer's list of keys; a larger file is no list.
constexpr qint64 LargestListBytes = qint64(64) * 1024 * 1024;

}  // namespace

std::optional<QStringList> readValueList(const QString& path, const QString& shown, int widthBytes, QString& why)
{
    const auto refuse = [&](const QString& text) {
        why = text;
        return std::nullopt;
    };
    // A FIFO or a device would be read for ever.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return refuse(QStringLiteral("%1 is not a regular file").arg(shown));
    if (info.size() > LargestListBytes)
        return refuse(QStringLiteral("%1 is larger than %2 MiB").arg(shown).arg(LargestListBytes / 1024 / 1024));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("%1 could not be read: %2").arg(shown, file.errorString()));
    QByteArray contents = file.read(LargestListBytes + 1);
    // An editor may begin the file with a byte order mark; it belongs to no value.
    if (contents.startsWith("\xEF\xBB\xBF"))
        contents.remove(0, 3);
    QStringList values;
    const QList<QByteArray> lines = contents.split('\n');
    for (qsizetype number = 1; number <= lines.size(); ++number) {
        QByteArray line = lines.at(number - 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        // A byte that is not UTF-8 would be written as a replacement character, not as the file has it.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString value = utf8.decode(line);
        if (utf8.hasError())
            return refuse(QStringLiteral("line %1 of %2 is not UTF-8 text").arg(number).arg(shown));
        if (line.size() > widthBytes)
            return refuse(QStringLiteral("line %1 of %2 takes %3 bytes, more than the field's %4").arg(number).arg(shown).arg(line.size()).arg(widthBytes));
        values << value;
    }
    if (values.isEmpty())
        return refuse(QStringLiteral("%1 holds no value").arg(shown));
    return values;
}

}  // namespace iap
