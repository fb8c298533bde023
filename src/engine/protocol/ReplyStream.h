#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "protocol/OperationKind.h"
#include "protocol/ReplyRecognition.h"

namespace iap {

// The device's replies as a transfer or a read takes them, whatever the line did to their
// timing. A reply that arrives whole, alone in a chunk, is what the recognition rules make of it.
// Beyond that, a line (a USB adapter's packets, a busy machine) splits replies and runs them
// together: a fragment that is not yet a reply the operation can take is kept and joined with
// what follows for as long as the line stays busy (its owner clears it at a poll that finds the
// line silent), a checksum keyword waits for its four sum bytes, and a chunk that holds several
// replies gives each, in order. Nothing here depends on how fast this program runs: a busy
// machine delays the polls, not the line.
class ReplyStream {
public:
    // What the operation can take at the moment the next reply is cut.
    struct Context {
        OperationKind running = OperationKind::Download;
        bool versionShown = false;
        // A page was sent and its acknowledgement has not come yet.
        bool pageInFlight = false;
        // Every acknowledging word of a reply counts ("d" and "Write" in one reply are two), as
        // the window counts them; otherwise a reply acknowledges at most the page in flight.
        bool everyWordCounts = false;
    };

    // One reply cut from the stream.
    struct Cut {
        Reply reply = Reply::Unexpected;
        // The reply's bytes; for a checksum reply the keyword and its four sum bytes.
        QByteArray bytes;
        // Acknowledgements: by a "d" and by a "Write" (after the version was shown).
        int byLetterD = 0;
        int byWrite = 0;
        // Reply::Version: the version text so far. A version reply may come in pieces: until the
        // line falls silent, a reply begins, or (but in a flash write) a page goes out, what
        // follows it lengthens it, and each piece gives the whole text again.
        QString version;
    };

    void append(const QByteArray& chunk);
    // The next reply, given what the operation can take now; none when what is left is not yet
    // one (it is kept, for the next chunk).
    std::optional<Cut> next(const Context& context);
    // The line fell silent, or the exchange ended: what is kept answered nothing.
    void clear();

private:
    std::optional<Cut> versionContinued(const Context& context);
    std::optional<Cut> checksum(const Context& context);
    std::optional<Cut> version(qsizetype at);
    std::optional<Cut> acknowledgements(const Context& context, QByteArray text, bool whole);
    Cut take(Reply reply, qsizetype length);

    QByteArray pending;
    // The version reply's text so far, while more of it may come.
    std::optional<QByteArray> openVersion;
};

}  // namespace iap
