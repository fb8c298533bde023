#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace iap {

// The code scanned for the board in a socket, or for the next board put in, when the job asks
// for one. A code belongs to one board: it goes when the board is taken out. It is checked once,
// before the first round with it. The station's barcode queue hands codes down to it.
class BoardBarcode {
public:
    // `holder` names the board's socket; `running` tells whether a round runs there; `given` is
    // told when the queue hands the board a code scanned for it.
    BoardBarcode(const QString& holder, std::function<bool()> running, std::function<void()> given);

    const QString& holder() const { return holderName; }
    bool isRunning() const { return running(); }
    const QString& code() const { return held; }
    // Since when (in the queue's order of waiting) the board has waited for its code; none while
    // it does not wait.
    std::optional<std::uint64_t> awaitingSince() const { return since; }
    // Checked for repeats since it was taken, under the job in use.
    bool isChecked() const { return checked; }

    void take(const QString& scanned);
    // A code scanned for this board: taken, and the board told.
    void hand(const QString& scanned);
    void markChecked() { checked = true; }
    void awaitFrom(std::uint64_t turn) { since = turn; }
    void stopAwaiting() { since.reset(); }
    // Gives the code up: a refused one, or the board's when it is taken out.
    QString release();
    // Whether a code may repeat is a job's to say.
    void jobChanged() { checked = false; }

private:
    const QString& holderName;
    std::function<bool()> running;
    std::function<void()> given;
    QString held;
    bool checked = false;
    std::optional<std::uint64_t> since;
};

}  // namespace iap
