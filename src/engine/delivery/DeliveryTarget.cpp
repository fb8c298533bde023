#include "delivery/DeliveryTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace iap {
namespace {

const QLatin1String FolderScheme("dir:");
// A token is a line; a file much larger is not one.
constexpr qint64 LongestTokenBytes = 16 * 1024;

// A token goes into a header as it is: a control character would end the header, or start
// another.
bool fitsAHeader(const QByteArray& token)
{
    for (const char c : token)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    return true;
}

}  // namespace

std::optional<DeliveryTarget> DeliveryTarget::of(const QString& text, QString& why)
{
    DeliveryTarget target;
    target.text = text;
    if (text.startsWith(FolderScheme)) {
        target.kind = Kind::Folder;
        target.folder = text.mid(FolderScheme.size());
        if (target.folder.isEmpty() || QDir::isRelativePath(target.folder)) {
            why = QStringLiteral("the delivery target %1 names no folder by its absolute path (dir:/path)").arg(text);
            return std::nullopt;
        }
        target.folder = QDir::cleanPath(target.folder);
        return target;
    }
    target.url = QUrl(text, QUrl::StrictMode);
    const QString scheme = target.url.scheme().toLower();
    if (!target.url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || target.url.host().isEmpty()) {
        why = QStringLiteral("the delivery target %1 is neither http://host/path, https://host/path nor dir:/path").arg(text);
        return std::nullopt;
    }
    return target;
}

QString deliveryToken(const QString& tokenFile, QString& why)
{
    QByteArray token;
    if (!tokenFile.isEmpty()) {
        QFile file(tokenFile);
        if (!QFileInfo(tokenFile).isFile()) {
            why = QStringLiteral("the token file %1 is not a file").arg(tokenFile);
            return {};
        }
        if (!file.open(QIODevice::ReadOnly)) {
            why = QStringLiteral("the token file %1 cannot be read: %2").arg(tokenFile, file.errorString());
            return {};
        }
        token = file.read(LongestTokenBytes).split('\n').first().trimmed();
    } else {
        token = qgetenv(DeliveryTarget::TokenVariable).trimmed();
    }
    if (!fitsAHeader(token)) {
        why = QStringLiteral("the delivery token holds a control character, which a header cannot carry");
        return {};
    }
    return QString::fromUtf8(token);
}

}  // namespace iap
