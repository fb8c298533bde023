#include "Plugging.h"

#include "Bootloader.h"
#include "DevicePort.h"
#include "EventLog.h"
#include "ImageFile.h"
#include "Options.h"
#include "Transmitter.h"

#include <algorithm>

namespace iap::sim {

Plugging::Plugging(const Options& plugOptions, EventLog& plugLog, Bootloader& deviceBootloader, const Transmitter& deviceTransmitter,
    DevicePort& devicePort, ImageFile& imageFile)
    : options(plugOptions)
    , log(plugLog)
    , bootloader(deviceBootloader)
    , transmitter(deviceTransmitter)
    , port(devicePort)
    , image(imageFile)
{
}

bool Plugging::plug(Nanos now, std::string& error)
{
    plugAt.reset();
    device = identityOf(options, device.number + 1);
    if (device.number > 1)
        image.restore();
    bootloader.powerOn(now, device.version);
    if (port.isOpen())
        port.announceBoard(true, device.serial);
    else if (!port.open(device.serial, error))
        return false;
    log.write("PLUG " + std::to_string(device.number) + " serial " + device.serial + " port " + port.path() + " version " + device.version);
    if (!options.boardSwitch.empty())
        log.write("SWITCH on");
    return true;
}

bool Plugging::plugWhenDue(Nanos now, std::string& error)
{
    return !plugAt || now < *plugAt || plug(now, error);
}

// A fixture's adapter, its line and its link stay: the board goes, and with it what it was
// sending; what the adapter has already received still reaches the port.
void Plugging::unplug(Nanos now, const std::string& cause)
{
    const std::string path = port.path();
    bootloader.powerOff(now);
    if (options.fixture && port.isOpen())
        port.announceBoard(false, device.serial);
    else
        port.close();
    roundEnded = false;
    plugAt = now + milliseconds(options.replugDelayMs);
    log.write("UNPLUG " + std::to_string(device.number) + " serial " + device.serial + " port " + path + " cause " + cause);
    if (!options.boardSwitch.empty())
        log.write("SWITCH off");
}

void Plugging::unplugAfterRound(Nanos now)
{
    if (bootloader.takeCompletedDownload() && options.replugAfterRound)
        roundEnded = true;
    if (roundEnded && roundReplyTaken(now))
        unplug(now, "round");
}

// The checksum reply has left, the reply gap has passed, and the program that holds the port has
// read it (or, with nobody reading it, a second has passed): a hang-up before then could take the
// reply from a tool that has not read it yet, and the round would fail for the station.
bool Plugging::roundReplyTaken(Nanos now) const
{
    constexpr std::uint64_t UnreadBoundMs = 1000;
    const Nanos sent = transmitter.lastDeliveryAt();
    return transmitter.idle() && now >= sent + milliseconds(options.replyGapMs)
        && (port.holders() == 0 || port.unreadBytes() == 0 || now >= sent + milliseconds(UnreadBoundMs));
}

std::optional<Nanos> Plugging::nextDue(Nanos now) const
{
    std::optional<Nanos> due = plugAt;
    // Nothing tells when a program reads the port: while the reply waits to be read, look again soon.
    constexpr std::uint64_t UnreadCheckMs = 2;
    if (roundEnded && transmitter.idle()) {
        const Nanos check = std::max(transmitter.lastDeliveryAt() + milliseconds(options.replyGapMs), now + milliseconds(UnreadCheckMs));
        due = due ? std::min(*due, check) : check;
    }
    return due;
}

}  // namespace iap::sim
