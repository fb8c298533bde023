#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace iap {

// How a port is set up for a device: its rate, and the page it is sent at once, whose time the
// port's writes are allowed to leave.
struct LineSettings {
    int baudRate = 0;
    int pageBytes = 0;
};

// The line a connection talks to a device through: the serial port, or a line in memory. What
// the line brings comes through its signals, never within the call that asked for it. A poll
// obeys the read rules every reply is delimited by: it ends 20 ms after the last byte taken, at
// 2047 bytes, or empty 2048 ms after it began. Nothing is ever thrown to the caller: failures
// show in the results.
class Line : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The port named as the port list shows it (or a path), at the settings' rate, 8 data bits,
    // no parity, 1 stop bit, no flow control, for this program alone. Returns once the port is
    // open or has failed.
    virtual bool open(const QString& portName, const LineSettings& settings) = 0;
    // The same without waiting for it: opened tells how it went, unless the line was opened or
    // closed again meanwhile.
    virtual void openInBackground(const QString& portName, const LineSettings& settings) = 0;
    // Ends an outstanding poll at once (no byte it got is handed on) and releases the port.
    virtual void close() = 0;
    // The bytes written so far leave the port before it is released.
    virtual void flush() = 0;
    // Starts a poll unless the line is closed or a poll is outstanding; false when none started.
    virtual bool poll() = 0;
    // Like a poll, but whatever arrives is thrown away until the line has been silent for
    // quietMs; then quiet. discarding tells, once, that bytes were thrown away. A poll still
    // outstanding is given up first, as by a new connection. False when the line is closed.
    virtual bool awaitQuiet(int quietMs) = 0;
    // Sends the bytes; how many went to the port, 0 when it is closed or has gone.
    virtual int write(const QByteArray& bytes) = 0;
    // What the line has received so far comes through polled (the outstanding poll ends with
    // it), then drained; nothing when the line is closed.
    virtual void drain() = 0;
    // Asks for the modem-status inputs, unless the line is closed or an answer is awaited;
    // modemLines() has them once it answers.
    virtual void requestModemLines() = 0;
    // The inputs as QSerialPort::PinoutSignals, as last read on this connection; nothing before
    // the first answer and when the port cannot tell them.
    virtual std::optional<int> modemLines() const = 0;
    virtual bool isOpen() const = 0;

signals:
    void opened(bool ok);
    // The bytes of one poll, one byte per character; empty when nothing arrived.
    void polled(const QByteArray& chunk);
    void discarding();
    void quiet();
    void drained();
    // The port went away while open (an adapter pulled out, its driver's hang-up): nothing more
    // comes but what it had received before, and writes go nowhere.
    void lost();
};

// Makes the line of each port that is added: the serial port, or a test's.
using LineFactory = std::function<std::unique_ptr<Line>()>;

}  // namespace iap
