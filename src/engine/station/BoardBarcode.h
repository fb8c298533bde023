#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace iap {

class Socket;
class Station;

// The code scanned for the board in a socket, or for the next board put in, when the job asks
// for one. A code belongs to one board: it goes when the board is taken out. It is checked
// against the journal once, before the first round with it.
class BoardBarcode {
public:
    enum class Readiness {
        Ready,     // the board has a code the station takes
        Missing,   // none scanned for it yet
        Unknown,   // the journal cannot tell whether it may be taken
        Repeated,  // another board passed with it, or holds it
    };

    const QString& code() const { return held; }
    // Since when (in the station's order of waiting) the board has waited for its code; none
    // while it does not wait.
    std::optional<std::uint64_t> awaitingSince() const { return since; }

    // Whether the board's round may start as far as its code goes, a code waiting at the station
    // taken first; `why` tells an Unknown or a Repeated.
    Readiness ready(Station& station, const Socket& socket, QString& why);
    void await(Station& station);
    void take(const QString& scanned);
    // Gives the code up: a refused one, or the board's when it is taken out.
    QString release();
    // Whether a code may repeat is a job's to say.
    void jobChanged() { checked = false; }
    void stopAwaiting() { since.reset(); }

private:
    QString held;
    bool checked = false;
    std::optional<std::uint64_t> since;
};

}  // namespace iap
