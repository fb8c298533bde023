#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "serial/PortDevice.h"

namespace iap {

// The one serial connection of a tool (or of one port of the command line). Its thread never
// waits on the line: a poll runs on a thread of the line's own, with the read rules of the port
// device (it ends after 20 ms of silence that follows a byte, after 2047 bytes, or empty after
// 2048 ms), and its bytes come back through Polled, one chunk per poll, in order. Senders copy
// a frame into TransferBuffer from index 0, set LastByteIndex to the frame's last index and
// call WritePort, which may send while a poll waits: the line is full duplex. Nothing is ever
// thrown to the caller: failures show in the results.
class SerialPort : public QObject {
    Q_OBJECT

public:
    static constexpr int TransferBufferBytes = 2048;
    static constexpr int ReadRequestBytes = 2047;
    static constexpr const char* OpenFailureText = "The COMM port is occupied or doesn't exit!";

    explicit SerialPort(std::unique_ptr<PortDevice> device, QObject* parent = nullptr);
    // The written bytes leave and the port is released before the object goes.
    ~SerialPort() override;

    // Where the failure text of OpenPort goes (the window's status box).
    void setStatusSink(std::function<void(const QString&)> sink);

    // portDeviceName: a port name followed by ':' (e.g. "COM3:", "ttyUSB0:", or an absolute path
    // followed by ':'); settings: "115200,n,8,1" style. Returns once the port is open or has
    // failed, which takes a few milliseconds (longer only while the port closed just before
    // still sends its last bytes).
    bool OpenPort(const QString& portDeviceName, const QString& settings);
    // Ends an outstanding poll at once (no byte it got is handed on) and releases the port.
    void ClosePort();
    // The bytes written so far leave the port before it is released.
    void FlushPort();
    // Starts a poll unless the port is closed or a poll is outstanding; false when none started.
    bool Poll();
    // Like a poll, but whatever arrives is thrown away until the line has been silent for
    // quietMs; then Quiet. Discarding tells, once, that bytes were thrown away. False when the
    // port is closed or a poll is outstanding.
    bool AwaitQuiet(int quietMs);
    // Writes TransferBuffer[0..LastByteIndex]; the count written.
    std::int16_t WritePort();

    bool PortOpen() const { return portOpen; }
    // Changes with every open and close: a poll belongs to the connection it was started on.
    quint64 Connection() const { return connection; }

    std::array<std::uint8_t, TransferBufferBytes> TransferBuffer{};
    std::int32_t LastByteIndex = 0;

signals:
    // The bytes of one poll, one byte per character; empty when nothing arrived.
    void Polled(const QByteArray& chunk);
    void Discarding();
    void Quiet();

private:
    void endPoll();
    void onLine(std::function<void()> job);
    // Runs on this object's thread unless the connection has changed by then.
    void onConnection(quint64 polledConnection, std::function<void()> job);

    std::unique_ptr<PortDevice> device;
    std::function<void(const QString&)> statusSink;
    QThread line;
    QObject* lineContext;
    bool portOpen = false;
    bool pollOutstanding = false;
    // Counts opens and closes, so that a poll of an earlier connection is never handed on; the
    // line's thread reads it to stop a wait for quiet that nobody wants any more.
    std::atomic<quint64> connection = 0;
};

}  // namespace iap
