#pragma once

#include <memory>

#include "platform/Tone.h"

namespace iap {

// The platform's own tone: ALSA on Linux (silent when no sound device can be opened), Beep on Windows.
std::unique_ptr<Tone> makeSystemTone();

}  // namespace iap
