#pragma once

#include <QLatin1String>

namespace iap {

// What the tool must know of a device model to speak to it. A run on a model takes every rate,
// size and wait from its row (DeviceProfiles.h), never from elsewhere.
struct DeviceProfile {
    // How the tool shows and keeps the model ("HX300"); a user may name it in any case.
    QLatin1String name;
    // The line's rate; 8N1 for every model.
    int baudRate = 0;
    // Every transfer, read and checksum moves in pages of this many bytes, and a unique page is
    // one of them.
    int pageBytes = 0;
    // The most pages one read may ask for.
    int mostReadPages = 0;
    // The bootloader's times the tool waits on: after a flash write's command the bootloader
    // takes its first page this much later, with no reply to tell it is ready.
    int flashWriteFirstPageMs = 0;
    // A read polls the line this often while it waits for its first page; after that the data
    // stream drives it.
    int readPollMs = 0;
    // Longer than the bootloader's pause between a read's page data and its checksum reply: a
    // line silent this long carries nothing more of an earlier exchange.
    int quietMs = 0;

    bool operator==(const DeviceProfile&) const = default;
};

}  // namespace iap
