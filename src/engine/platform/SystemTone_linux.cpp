#include "platform/SystemTone.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#ifdef IAP_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace iap {
namespace {

#ifdef IAP_HAVE_ALSA
constexpr unsigned SampleRateHz = 44100;
constexpr unsigned DeviceLatencyUs = 50000;
constexpr double Amplitude = 0.3 * 32767;

void quietAlsaError(const char*, int, const char*, int, const char*, ...) {}

class AlsaTone final : public Tone {
public:
    void beep(int frequencyHz, int durationMs) override
    {
        if (frequencyHz <= 0 || durationMs <= 0)
            return;
        // A machine without a sound card must not fill the terminal with ALSA's complaints.
        snd_lib_error_set_handler(quietAlsaError);
        snd_pcm_t* pcm = nullptr;
        // A device that another program holds would block a plain open until it is let go; the
        // tone is not worth a stalled window and is given up at once.
        if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
            return;
        // Once open, the notes play one after the other, each for its full length.
        if (snd_pcm_nonblock(pcm, 0) < 0) {
            snd_pcm_close(pcm);
            return;
        }
        if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, SampleRateHz, 1,
                               DeviceLatencyUs) == 0) {
            const auto frames = std::size_t(SampleRateHz) * std::size_t(durationMs) / 1000;
            std::vector<std::int16_t> samples(frames);
            for (std::size_t i = 0; i < frames; ++i)
                samples[i] = std::int16_t(Amplitude * std::sin(2 * std::numbers::pi * frequencyHz * double(i) / SampleRateHz));
            std::size_t written = 0;
            while (written < frames) {
                const snd_pcm_sframes_t n = snd_pcm_writei(pcm, samples.data() + written, frames - written);
                if (n < 0 && snd_pcm_recover(pcm, int(n), 1) < 0)
                    break;
                if (n > 0)
                    written += std::size_t(n);
            }
            snd_pcm_drain(pcm);
        }
        snd_pcm_close(pcm);
    }
};
#else
class SilentTone final : public Tone {
public:
    void beep(int, int) override {}
};
#endif

}  // namespace

std::unique_ptr<Tone> makeSystemTone()
{
#ifdef IAP_HAVE_ALSA
    return std::make_unique<AlsaTone>();
#else
    return std::make_unique<SilentTone>();
#endif
}

}  // namespace iap
