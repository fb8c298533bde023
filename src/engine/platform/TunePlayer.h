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

    // The three notes of a verified download; the one low tone of a station's failed round.
    static std::vector<Note> passTune() { return {{659, 300}, {523, 300}, {587, 300}}; }
    static std::vector<Note> failTune() { return {{196, 700}}; }

private:
    Tone& tone;
    QThread thread;
    QObject* context;
};

}  // namespace iap
