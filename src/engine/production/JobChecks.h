#pragma once

#include <QString>

#include <optional>

#include "protocol/Page.h"
#include "session/ImageSnapshot.h"

namespace iap {

// The checks of a job's images before anything is sent: a job that would send a device what it
// cannot take is refused as a whole. Each says why, or nothing when all is well.

// Takes the file (an empty path takes nothing).
QString takeImage(ImageSnapshot& image, const QString& path);
// An application goes to the address, or to its file's own: it must hold data and end within
// the address space. `strict` refuses an address that differs from the file's own.
QString checkApplication(const ImageSnapshot& image, const std::optional<Address>& address, bool strict);
// A header page's or the file's own address wins; `strict` refuses an address that differs from it.
QString checkFlashImage(const ImageSnapshot& image, const std::optional<Address>& address, bool strict);
// The round's images: each one taken is checked; an image not taken is a step passed over. An
// image's own address wins over the round's, which serves the images without one.
QString checkRound(const ImageSnapshot& slot0, const ImageSnapshot& slot1, const ImageSnapshot& application, const std::optional<Address>& address);

}  // namespace iap
