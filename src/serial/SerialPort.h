#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "serial/PortDevice.h"

namespace iap {

// The one serial connection of the tool. Senders copy a frame into TransferBuffer from index 0,
// set LastByteIndex to the frame's last index and call WritePort; ReadPort overwrites the same
// buffer with what arrived. Nothing is ever thrown to the caller: failures show in the results.
class SerialPort {
public:
    static constexpr int TransferBufferBytes = 2048;
    static constexpr int ReadRequestBytes = 2047;
    static constexpr const char* OpenFailureText = "The COMM port is occupied or doesn't exit!";

    explicit SerialPort(std::unique_ptr<PortDevice> device);

    // Where the failure text of OpenPort goes (the window's status box).
    void setStatusSink(std::function<void(const QString&)> sink);

    // portDeviceName: a port name followed by ':' (e.g. "COM3:", "ttyUSB0:", or an absolute path
    // followed by ':'); settings: "115200,n,8,1" style.
    bool OpenPort(const QString& portDeviceName, const QString& settings);
    bool ClosePort();
    void FlushPort();
    // The bytes of one poll, one byte per character; empty when nothing arrived.
    QByteArray ReadPort();
    // Writes TransferBuffer[0..LastByteIndex]; the count written.
    std::int16_t WritePort();

    bool PortOpen() const { return portOpen; }

    std::array<std::uint8_t, TransferBufferBytes> TransferBuffer{};
    std::int32_t LastByteIndex = 0;

private:
    void reportOpenFailure();

    std::unique_ptr<PortDevice> device;
    std::function<void(const QString&)> statusSink;
    bool portOpen = false;
};

}  // namespace iap
