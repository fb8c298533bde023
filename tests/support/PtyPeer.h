#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace iap::test {

// The tool's end of a virtual device's pseudo-terminal, driven with plain POSIX calls, for
// tests that check the device byte for byte and by the clock. Every wait is a poll() with a
// bound.
class PtyPeer {
public:
    // A device reply ends when the line has been silent this long, as in the tool's poll.
    static constexpr int ReplySilenceMs = 20;

    struct Chunk {
        QByteArray bytes;
        std::int64_t firstByteNs = 0;  // CLOCK_MONOTONIC instant the first byte was read
        std::int64_t lastByteNs = 0;   // and the last
    };

    PtyPeer() = default;
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool open(const QString& path);
    void close();
    int fd() const { return descriptor; }

    // Writes every byte (waiting, bounded, while the line is full); false on failure.
    bool write(const QByteArray& bytes);
    // The next reply: the bytes read until ReplySilenceMs of silence; empty when nothing came
    // within timeoutMs.
    Chunk readChunk(int timeoutMs);
    // Exactly length bytes, or fewer when the time runs out first.
    QByteArray readExactly(qsizetype length, int timeoutMs);
    // The same, with the instants of the first and the last read; unlike readChunk it does not
    // depend on this process reading promptly enough to see the silence between replies.
    Chunk readTimed(qsizetype length, int timeoutMs);
    // True when nothing at all arrives for windowMs.
    bool staysQuiet(int windowMs);
    // True when the device's end has gone (read fails with EIO or poll reports a hang-up).
    bool waitForHangup(int timeoutMs);

    static std::int64_t nowNs();
    // A 19-byte command: 11-byte keyword, big-endian address, big-endian count.
    static QByteArray command(const char* keyword, std::uint32_t address, std::uint32_t count);
    static std::uint32_t bigEndian(const QByteArray& bytes, qsizetype at);
    static std::uint32_t byteSum(const QByteArray& bytes);

private:
    int descriptor = -1;
};

}  // namespace iap::test
