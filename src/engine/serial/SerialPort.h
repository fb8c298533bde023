#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "serial/PortDevice.h"

namespace iap {

// The one serial connection of a tool (or of one port of the command line). Its thread never
// waits on the line: a poll runs on a thread of the line's own, with the read rules of the port
// device (it ends after 20 ms of silence that follows a byte, after 2047 bytes, or empty after
// 2048 ms), and its bytes come back through polled, one chunk per poll, in order. A write may
// go out while a poll waits: the line is full duplex. Nothing is ever thrown to the caller:
// failures show in the results.
class SerialPort : public QObject {
    Q_OBJECT

public:
    static constexpr int ReadRequestBytes = 2047;

    explicit SerialPort(std::unique_ptr<PortDevice> device, QObject* parent = nullptr);
    // The written bytes leave and the port is released before the object goes.
    ~SerialPort() override;

    // The port named as the port list shows it, at the rate. Returns once the port is open or
    // has failed, which takes a few milliseconds (longer only while the port closed just before
    // still sends its last bytes).
    bool open(const QString& portName, int baudRate);
    // Ends an outstanding poll at once (no byte it got is handed on) and releases the port.
    void close();
    // The bytes written so far leave the port before it is released.
    void flush();
    // Starts a poll unless the port is closed or a poll is outstanding; false when none started.
    bool poll();
    // Like a poll, but whatever arrives is thrown away until the line has been silent for
    // quietMs; then quiet. discarding tells, once, that bytes were thrown away. False when the
    // port is closed or a poll is outstanding.
    bool awaitQuiet(int quietMs);
    // One write of all the bytes; the count written.
    int write(const QByteArray& bytes);

    bool isOpen() const { return portOpen; }
    // Changes with every open and close: a poll belongs to the connection it was started on.
    quint64 connectionNumber() const { return connection; }

signals:
    // The bytes of one poll, one byte per character; empty when nothing arrived.
    void polled(const QByteArray& chunk);
    void discarding();
    void quiet();

private:
    void endPoll();
    void onLine(std::function<void()> job);
    // Runs on this object's thread unless the connection has changed by then.
    void onConnection(quint64 polledConnection, std::function<void()> job);

    std::unique_ptr<PortDevice> device;
    QThread line;
    QObject* lineContext;
    bool portOpen = false;
    bool pollOutstanding = false;
    // Counts opens and closes, so that a poll of an earlier connection is never handed on; the
    // line's thread reads it to stop a wait for quiet that nobody wants any more.
    std::atomic<quint64> connection = 0;
};

}  // namespace iap
