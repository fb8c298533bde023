#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace iap::test {

// One end of a pseudo-terminal, driven with plain POSIX calls, for tests that check bytes on the
// line and their timing. Every wait is a poll() with a bound.
class PtyPeer {
public:
    // A device reply ends when the line has been silent this long, as in the tool's poll.
    static constexpr int ReplySilenceMs = 20;
    // Long enough for a page on a loaded machine; a wait ends as soon as its bytes are through.
    static constexpr int DefaultTimeoutMs = 5000;

    struct Chunk {
        QByteArray bytes;
        std::int64_t firstByteNs = 0;  // CLOCK_MONOTONIC instant the first byte was read
        std::int64_t lastByteNs = 0;   // and the last
    };

    PtyPeer() = default;
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    // Opens the end at the path, raw, so that every byte value passes unchanged.
    bool open(const QString& path);
    void close();
    int fd() const { return descriptor; }

    // Writes every byte (waiting, bounded, while the line is full); false on failure.
    bool write(const QByteArray& bytes);
    // The next reply: the bytes read until ReplySilenceMs of silence; empty when nothing came
    // within timeoutMs.
    Chunk readChunk(int timeoutMs = DefaultTimeoutMs);
    // Exactly length bytes, or fewer when the time runs out first.
    QByteArray readExactly(qsizetype length, int timeoutMs = DefaultTimeoutMs);
    // The same, with the instants of the first and the last read; unlike readChunk it does not
    // depend on this process reading promptly enough to see the silence between replies.
    Chunk readTimed(qsizetype length, int timeoutMs = DefaultTimeoutMs);
    // Writes the frame and reads a reply of the given length.
    QByteArray ask(const QByteArray& frame, qsizetype replyBytes, int timeoutMs = DefaultTimeoutMs);
    // True when nothing at all arrives for windowMs.
    bool staysQuiet(int windowMs);
    // True when the other end has gone (read fails with EIO or poll reports a hang-up).
    bool waitForHangup(int timeoutMs = DefaultTimeoutMs);

    static std::int64_t nowNs();

protected:
    static bool makeRaw(int fd);
    // Up to length bytes until the time runs out; with silenceMs >= 0, until the line has been
    // silent that long after the first byte.
    Chunk read(qsizetype length, int timeoutMs, int silenceMs);

    int descriptor = -1;
};

}  // namespace iap::test
