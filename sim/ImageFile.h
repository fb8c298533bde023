#pragma once

#include "Flash.h"

#include <optional>
#include <string>

namespace iap::sim {

class EventLog;
struct Options;

// The --image file: the flash every device is plugged in with, and where the flash is saved (at
// exit and on SIGUSR2). Every device comes with the flash the first one had at start: the file
// itself may hold what a save has put there since, an earlier device's programming among it.
class ImageFile {
public:
    ImageFile(const Options& options, EventLog& log, Flash& flash);

    // Loads the file into the flash, if there is one; false with a reason when it cannot.
    bool load(std::string& error);
    // The flash as the file gave it at start; erased without a file.
    void restore();
    void save();

private:
    const Options& options;
    EventLog& log;
    Flash& flash;
    std::optional<Flash> atStart;
};

}  // namespace iap::sim
