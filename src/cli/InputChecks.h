#pragma once

#include <QString>

#include "CommandLineOptions.h"

namespace iap::cli {

// The checks of everything the arguments name, once they are parsed; the image files given by
// path are taken here. Empty when all is well.
struct ImagePaths {
    QString image;
    QString slot0;
    QString slot1;
    QString application;
};
QString checkInput(CommandLineOptions& options, const ImagePaths& paths);

}  // namespace iap::cli
