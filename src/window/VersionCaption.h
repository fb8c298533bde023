#pragma once

#include <QString>

namespace iap {

// "Version:  1.0.46": the word, a colon, two spaces, then major.minor.revision of the build.
QString programVersionCaption();

}  // namespace iap
