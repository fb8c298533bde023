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
    class Note {
    public:
        constexpr Note(int frequencyHz, int durationMs) : frequency(frequencyHz), duration(durationMs) {}
        constexpr int frequencyHz() const { return frequency; }
        constexpr int durationMs() const { return duration; }

    private:
        int frequency;
        int duration;
    };

    explicit TunePlayer(Tone& tone);
    ~TunePlayer();
    TunePlayer(const TunePlayer&) = delete;
    TunePlayer& operator=(const TunePlayer&) = delete;

    void play(std::vector<Note> tune);

private:
    Tone& tone;
    QThread thread;
    QObject* context;
};

}  // namespace iap
