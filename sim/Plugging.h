#pragma once

#include "Clock.h"
#include "DeviceIdentity.h"

#include <optional>
#include <string>

namespace iap::sim {

class Bootloader;
class DevicePort;
class EventLog;
class ImageFile;
class Transmitter;
struct Options;

// The devices plugged in one after another under the same name, each a fresh one: which one is
// in, and when the next one comes. Unplugged, the port has no line and no announcement until the
// next device is plugged in; in a fixture (--fixture), line and announcement stay, and only the
// board comes and goes.
class Plugging {
public:
    Plugging(const Options& options, EventLog& log, Bootloader& bootloader, const Transmitter& transmitter, DevicePort& port, ImageFile& image);

    // Plugs in the next device; false with a reason when its line cannot be opened.
    bool plug(Nanos now, std::string& error);
    // The same once the next device's time has come; true while it has not.
    bool plugWhenDue(Nanos now, std::string& error);
    void unplug(Nanos now, const std::string& cause);
    // With --replug-after-round, a device that has completed a download unplugs once the tool has
    // its checksum reply.
    void unplugAfterRound(Nanos now);
    // When plugging has something to do next; empty when nothing is awaited.
    std::optional<Nanos> nextDue(Nanos now) const;

    bool isPlugged() const { return !plugAt; }
    const DeviceIdentity& identity() const { return device; }

private:
    bool roundReplyTaken(Nanos now) const;

    const Options& options;
    EventLog& log;
    Bootloader& bootloader;
    const Transmitter& transmitter;
    DevicePort& port;
    ImageFile& image;
    DeviceIdentity device;
    // While unplugged: when the next device is plugged in. A fixture ignores its line until then.
    std::optional<Nanos> plugAt;
    // A download has been completed and the device unplugs once its checksum reply is taken.
    bool roundEnded = false;
};

}  // namespace iap::sim
