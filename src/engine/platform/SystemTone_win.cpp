#include <windows.h>

#include "platform/SystemTone.h"

namespace iap {
namespace {

class WindowsTone final : public Tone {
public:
    void beep(int frequencyHz, int durationMs) override { ::Beep(DWORD(frequencyHz), DWORD(durationMs)); }
};

}  // namespace

std::unique_ptr<Tone> makeSystemTone()
{
    return std::make_unique<WindowsTone>();
}

}  // namespace iap
