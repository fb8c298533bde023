#include "production/ImagePins.h"

#include <QRegularExpression>

#include <algorithm>

namespace iap {

QJsonObject imagePinsJson(const ImagePins& pins)
{
    QJsonObject object;
    for (std::size_t i = 0; i < ImagePins::Images; ++i)
        if (!pins.sha256Hex[i].isEmpty())
            object.insert(ImagePins::ImageKeys[i], pins.sha256Hex[i]);
    return object;
}

std::optional<ImagePins> imagePinsFromJson(const QJsonValue& value, QString& why)
{
    static const QRegularExpression sha256(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    const QString wanted = QStringLiteral("\"%1\" must be an object that gives slot0, slot1 or application the SHA-256 of its image, "
                                          "64 hexadecimal digits in quotes (iap-cli job pin writes it)")
                               .arg(ImagePins::JobKey);
    if (!value.isObject()) {
        why = wanted;
        return std::nullopt;
    }
    ImagePins pins;
    const QJsonObject object = value.toObject();
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        const auto key = std::find(ImagePins::ImageKeys.begin(), ImagePins::ImageKeys.end(), entry.key());
        if (key == ImagePins::ImageKeys.end() || !sha256.match(entry.value().toString()).hasMatch()) {
            why = wanted;
            return std::nullopt;
        }
        pins.sha256Hex[std::size_t(key - ImagePins::ImageKeys.begin())] = entry.value().toString().toLower();
    }
    return pins;
}

QString checkPinnedImages(const ImagePins& pins, const std::array<const ImageSnapshot*, ImagePins::Images>& images)
{
    for (std::size_t i = 0; i < ImagePins::Images; ++i) {
        const QString& pinned = pins.sha256Hex[i];
        const ImageSnapshot& image = *images[i];
        const QLatin1String key = ImagePins::ImageKeys[i];
        if (!image.isValid() && !pinned.isEmpty())
            return QStringLiteral("the job is pinned, but its %1 image is missing (the job's SHA-256 of it is %2)").arg(key, pinned);
        if (image.isValid() && pinned.isEmpty())
            return QStringLiteral("the job is pinned, but not its %1 image %2: pin it again (iap-cli job pin)").arg(key, image.path());
        if (image.isValid() && image.sha256Hex() != pinned)
            return QStringLiteral("the job is pinned, but %1 %2 has changed since (its SHA-256 is %3, the job's %4)")
                .arg(key, image.path(), image.sha256Hex(), pinned);
    }
    return {};
}

}  // namespace iap
