#pragma once

#include <QObject>
#include <QThread>

#include <vector>

namespace iap {

class Tone;

// Plays tunes on a thread of their own, note after note, so that the window goes on while they
// sound. A tune still playing when the player goes is played to its end first.
class TunePlayer {
public:
    struct Note {
        int frequencyHz;
        int durationMs;
    };

    explicit TunePlayer(Tone& tone);
    ~TunePlayer();
    TunePlayer(const TunePlayer&) = delete;
    TunePlayer& operator=(const TunePlayer&) = delete;

    void Play(std::vector<Note> tune);

private:
    Tone& tone;
    QThread thread;
    QObject* context;
};

}  // namespace iap
