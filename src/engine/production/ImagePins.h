#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

#include "image/ImageSnapshot.h"

namespace iap {

// The SHA-256 of each image of a job as it was released (iap-cli job pin): the bytes a device
// is sent, by the job file's key for the image. A pinned job runs those bytes or nothing.
struct ImagePins {
    static constexpr std::size_t Images = 3;
    // The job file's key of the pins, and of each image in the order of a round.
    static constexpr QLatin1String JobKey{"sha256"};
    static constexpr std::array<QLatin1String, Images> ImageKeys{QLatin1String("slot0"), QLatin1String("slot1"), QLatin1String("application")};

    // Slot 0, slot 1, the application; empty: not pinned.
    std::array<QString, Images> sha256Hex;

    bool operator==(const ImagePins&) const = default;
};

QJsonObject imagePinsJson(const ImagePins& pins);
// The pins, or nothing and why not.
std::optional<ImagePins> imagePinsFromJson(const QJsonValue& value, QString& why);
// Empty when the images taken (slot 0, slot 1, the application; one not taken is a step the job
// does not have) are each the one pinned, and every one is pinned; otherwise why not.
QString checkPinnedImages(const ImagePins& pins, const std::array<const ImageSnapshot*, ImagePins::Images>& images);

}  // namespace iap
