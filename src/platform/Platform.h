#pragma once

#include <memory>

#include "platform/Clock.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/Tone.h"
#include "serial/PortDevice.h"
#include "serial/PortSource.h"

namespace iap {

// Everything the tool asks of the operating system and the user's desktop; the program uses
// the system's own, the tests put fakes in.
struct Platform {
    std::unique_ptr<PortDevice> portDevice;
    std::unique_ptr<PortSource> portSource;
    std::unique_ptr<FileDialog> fileDialog;
    std::unique_ptr<MessageBox> messageBox;
    std::unique_ptr<Tone> tone;
    std::unique_ptr<Clock> clock;
};

Platform makeSystemPlatform();

}  // namespace iap
