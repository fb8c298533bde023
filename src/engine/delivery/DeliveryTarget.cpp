#include "delivery/DeliveryTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <array>

#include "delivery/DeliveryChannel.h"
#include "delivery/FolderChannel.h"
#include "delivery/HttpChannel.h"

namespace iap {
namespace {

// A token is a line; a file much larger is not one.
constexpr qint64 LongestTokenBytes = 16 * 1024;

// A kind of target: the texts it takes, by their start, and the channel that serves them.
struct DeliveryScheme {
    QLatin1String prefix;
    Qt::CaseSensitivity prefixCase;
    // How its targets are written, for a person who wrote none.
    QLatin1String form;
    // Empty when the text names a target of the scheme; otherwise why not.
    QString (*refusal)(const QString& text);
    DeliveryTarget::ChannelMaker makeChannel;
};

QString notAnyForm(const QString& text);

QString folderRefusal(const QString& text)
{
    const QString folder = text.mid(text.indexOf(u':') + 1);
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return QStringLiteral("the delivery target %1 names no folder by its absolute path (dir:/path)").arg(text);
    return {};
}

QString urlRefusal(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() ? QString() : notAnyForm(text);
}

std::unique_ptr<DeliveryChannel> folderChannel(const QString& text, const QString&)
{
    return std::make_unique<FolderChannel>(QDir::cleanPath(text.mid(text.indexOf(u':') + 1)));
}

std::unique_ptr<DeliveryChannel> httpChannel(const QString& text, const QString& token)
{
    return std::make_unique<HttpChannel>(QUrl(text, QUrl::StrictMode), token);
}

// A new kind of target is a row here and a DeliveryChannel of its own.
const std::array<DeliveryScheme, 3> Schemes{{
    {QLatin1String("http://"), Qt::CaseInsensitive, QLatin1String("http://host/path"), urlRefusal, httpChannel},
    {QLatin1String("https://"), Qt::CaseInsensitive, QLatin1String("https://host/path"), urlRefusal, httpChannel},
    {QLatin1String("dir:"), Qt::CaseSensitive, QLatin1String("dir:/path"), folderRefusal, folderChannel},
}};

QString notAnyForm(const QString& text)
{
    QStringList forms;
    for (const DeliveryScheme& scheme : Schemes)
        forms << scheme.form;
    const QString last = forms.takeLast();
    return QStringLiteral("the delivery target %1 is neither %2 nor %3").arg(text, forms.join(QLatin1String(", ")), last);
}

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
    for (const DeliveryScheme& scheme : Schemes) {
        if (!text.startsWith(scheme.prefix, scheme.prefixCase))
            continue;
        why = scheme.refusal(text);
        if (!why.isEmpty())
            return std::nullopt;
        return DeliveryTarget{text, scheme.makeChannel};
    }
    why = notAnyForm(text);
    return std::nullopt;
}

std::unique_ptr<DeliveryChannel> makeDeliveryChannel(const DeliveryTarget& target, const QString& token)
{
    return target.makeChannel(target.text, token);
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
