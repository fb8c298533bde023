#pragma once

#include <QString>

#include <cstdint>

namespace iap {

// What a socket shows an operator: what it is doing now, and the last verdict, which stays
// until the next round starts.
struct SocketView {
    enum class Phase {
        Waiting,  // for a board
        Running,
        Done,     // the board is still in the socket
        Refused,  // a round could not start, or no board can be told: `notice` says why
        AwaitingBarcode,  // the board is in, and its round waits for the code scanned for it
        AwaitingStart,    // the board was in the socket before it was added: its round waits for Start
    };
    enum class Verdict { None, Pass, Fail };

    Phase phase = Phase::Waiting;
    // The round's step: "writing slot 0", "writing slot 1", "downloading"; and its pages.
    QString step;
    int done = 0;
    int total = 0;
    QString notice;
    Verdict verdict = Verdict::None;
    // Why the last round failed.
    QString reason;
    std::int64_t durationMs = 0;
    // The bootloader's version of the board the last round ran on; cleared when another board
    // is put in.
    QString version;
    // The serial number the round's unique page gave the board, when it has one.
    QString boardSerial;
    // The code scanned for the board in the socket (or for the next one), when the job asks for one.
    QString barcode;
    int passes = 0;
    int fails = 0;

    // "waiting for a board", "writing slot 0, 3 of 12", "downloading 40 of 64", …
    QString stateText() const;

    // A round starts: what the tile showed of the last one goes, but its counts stay.
    void roundStarts();
    // The round has come to a step of its own ("writing slot 0"), whose pages are counted anew.
    void stepStarts(const QString& name);
    // A round's verdict, as its record keeps it: `reason` is why it failed.
    void verdictOf(bool pass, const QString& reason, std::int64_t ms);
    // Why a round could not start.
    void refused(const QString& why);
};

}  // namespace iap

