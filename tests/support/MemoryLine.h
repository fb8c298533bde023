#pragma once

#include <QList>

#include <cstdint>
#include <functional>

#include "platform/Attempt.h"
#include "serial/Line.h"

namespace iap::test {

class FakeClock;

// A line in memory, on a fake clock, to a device the test scripts: for each frame written, what
// the device sends back and when. It keeps the serial port's read rules and records every
// frame written with the clock's time, as the device would see them.
class MemoryLine final : public Line {
    Q_OBJECT

public:
    // Bytes the device sends `afterMs` after the frame it answers.
    struct Reply {
        std::int64_t afterMs;
        QByteArray bytes;
    };
    using Device = std::function<QList<Reply>(const QByteArray& frame)>;
    struct Frame {
        std::int64_t atMs;
        QByteArray bytes;
    };

    explicit MemoryLine(FakeClock& clock) : clock(clock) { connection.renew(); }

    void setDevice(Device answering) { device = std::move(answering); }
    // The device sends of its own accord, `afterMs` from now.
    void send(const QByteArray& bytes, std::int64_t afterMs = 0);

    const QList<Frame>& frames() const { return written; }
    QList<QByteArray> frameBytes() const;

    bool open(const QString& portName, const iap::LineSettings& settings) override;
    void openInBackground(const QString& portName, const iap::LineSettings& settings) override;
    void close() override;
    void flush() override {}
    bool poll() override;
    bool awaitQuiet(int quietMs) override;
    int write(const QByteArray& bytes) override;
    void drain() override;
    void requestModemLines() override {}
    // A line in memory has no modem-status inputs.
    std::optional<int> modemLines() const override { return std::nullopt; }
    bool isOpen() const override { return portOpen; }

private:
    enum class Mode { Idle, Polling, Discarding };

    void arrive(const QByteArray& bytes);
    void take();
    void endPoll();
    void endWait();
    // A result of this connection, told later as the serial port tells it: never within a call.
    void tell(std::function<void()> result);
    void planSilence(int ms);

    FakeClock& clock;
    Device device;
    QList<Frame> written;
    bool portOpen = false;
    Mode mode = Mode::Idle;
    int quietMs = 0;
    bool told = false;
    QByteArray received;
    QByteArray chunk;
    // Renewed by every open and close, and when a wait for quiet gives up a poll.
    Attempt connection;
    Attempt silence;
    Attempt deadline;
};

}  // namespace iap::test
