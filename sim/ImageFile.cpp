#include "ImageFile.h"

#include "EventLog.h"
#include "Options.h"

#include <cerrno>
#include <cstring>

namespace iap::sim {

ImageFile::ImageFile(const Options& imageOptions, EventLog& imageLog, Flash& deviceFlash)
    : options(imageOptions)
    , log(imageLog)
    , flash(deviceFlash)
{
}

bool ImageFile::load(std::string& error)
{
    if (options.imagePath.empty())
        return true;
    std::string note;
    const bool loaded = flash.load(options.imagePath, note);
    log.write("INFO " + note);
    if (!loaded) {
        error = note;
        return false;
    }
    atStart = flash;
    return true;
}

void ImageFile::restore()
{
    if (atStart)
        flash = *atStart;
    else
        flash.eraseAll();
}

void ImageFile::save()
{
    if (options.imagePath.empty()) {
        log.write("INFO nothing saved: no --image");
        return;
    }
    if (flash.save(options.imagePath))
        log.write("SAVED " + options.imagePath);
    else
        log.write("INFO cannot save the flash to " + options.imagePath + ": " + std::strerror(errno));
}

}  // namespace iap::sim
