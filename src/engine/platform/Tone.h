#pragma once

namespace iap {

// Plays a tone and returns when it has ended. Without a sound device it returns at once.
class Tone {
public:
    virtual ~Tone() = default;
    virtual void beep(int frequencyHz, int durationMs) = 0;
};

}  // namespace iap
