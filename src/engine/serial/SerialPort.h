#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <optional>

namespace iap {

class SerialLine;

// The one serial connection of a tool (or of one port of the command line). Its thread never
// waits on the line: the port lives on a thread of the line's own (SerialLine), a poll's bytes
// come back through polled, one chunk per poll, in order, and a write goes out while a poll
// waits: the line is full duplex. Nothing is ever thrown to the caller: failures show in the
// results.
class SerialPort : public QObject {
    Q_OBJECT

public:
    explicit SerialPort(QObject* parent = nullptr);
    // The written bytes leave and the port is released before the object goes.
    ~SerialPort() override;

    // The port named as the port list shows it (or a path), at the rate, 8 data bits, no parity,
    // 1 stop bit, no flow control, for this program alone. Returns once the port is open or has
    // failed.
    bool open(const QString& portName, int baudRate);
    // The same without waiting for it: an open may wait on the disk (the lock file that tells
    // other programs the port is taken), which a thread that serves a window must not. opened
    // tells how it went, unless the port was opened or closed again meanwhile.
    void openInBackground(const QString& portName, int baudRate);
    // Ends an outstanding poll at once (no byte it got is handed on) and releases the port.
    void close();
    // The bytes written so far leave the port before it is released.
    void flush();
    // Starts a poll unless the port is closed or a poll is outstanding; false when none started.
    bool poll();
    // Like a poll, but whatever arrives is thrown away until the line has been silent for
    // quietMs; then quiet. discarding tells, once, that bytes were thrown away. A poll still
    // outstanding is given up first, as by a new connection. False when the port is closed.
    bool awaitQuiet(int quietMs);
    // Sends the bytes; how many went to the port, 0 when it is closed or has gone.
    int write(const QByteArray& bytes);

    // What the port has received so far comes through polled (the outstanding poll ends with
    // it), then drained; nothing when the port is closed.
    void drain();
    // Asks the port for its modem-status inputs, unless it is closed or an answer is awaited;
    // modemLines() has them once it answers.
    void requestModemLines();
    // The inputs as QSerialPort::PinoutSignals, as last read on this connection; nothing before
    // the first answer and when the port cannot tell them.
    std::optional<int> modemLines() const { return lines; }

    bool isOpen() const { return portOpen; }
    // Changes with every open and close, and when a wait for quiet gives up a poll: a poll
    // belongs to the connection it was started on.
    quint64 connectionNumber() const { return connection; }

signals:
    void opened(bool ok);
    // The bytes of one poll, one byte per character; empty when nothing arrived.
    void polled(const QByteArray& chunk);
    void discarding();
    void quiet();
    void drained();

private:
    void endPoll();

    QThread thread;
    SerialLine* line;
    bool portOpen = false;
    bool pollOutstanding = false;
    bool portLost = false;
    bool linesOutstanding = false;
    std::optional<int> lines;
    // Counts opens and closes, so that a poll of an earlier connection is never handed on.
    quint64 connection = 0;
    // Counts the opens and closes asked for, so that an open in the background that another has
    // followed since is not told.
    quint64 openRequests = 0;
};

}  // namespace iap
