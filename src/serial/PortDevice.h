#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace iap {

// The five time-outs of a serial port, in the operating system's own terms: a read ends after
// ReadInterval of silence that follows at least one byte, or after
// ReadTotalMultiplier × requested bytes + ReadTotalConstant; a write may take
// WriteTotalMultiplier × bytes + WriteTotalConstant.
struct CommTimeouts {
    int readIntervalTimeoutMs = 0;
    int readTotalTimeoutMultiplierMs = 0;
    int readTotalTimeoutConstantMs = 0;
    int writeTotalTimeoutMultiplierMs = 0;
    int writeTotalTimeoutConstantMs = 0;
};

// The operating system's serial calls, one per step that SerialPort takes, so that SerialPort
// keeps its step order and failure rules in one place for every platform and can be run
// against a fake device. No call throws; a call on a device that is not open fails at once.
// A read runs on one thread while writes come from another (the line is full duplex);
// cancelRead may come from any thread. Everything else runs while no read is in progress.
class PortDevice {
public:
    virtual ~PortDevice() = default;

    // Opens an existing port for reading and writing, for this program alone, with nothing
    // received yet. portDeviceName is what the window passes: a port name followed by ':'. An
    // already open port is released first.
    virtual bool open(const std::string& portDeviceName) = 0;
    virtual bool setTimeouts(const CommTimeouts& timeouts) = 0;
    // Builds the port state from a settings text such as "115200,n,8,1": baud rate, parity,
    // data bits and stop bits from the text; no flow control, raw 8-bit transfer.
    virtual bool buildLineSettings(const std::string& settingsText) = 0;
    // Applies the port state that buildLineSettings built.
    virtual bool applyLineSettings() = 0;
    // Blocks as the read time-outs say; the count of bytes stored at buffer, 0 on silence or failure.
    virtual int read(std::uint8_t* buffer, int requestedBytes) = 0;
    // Ends the read in progress at once with what it has got; with none in progress, the next
    // read before the next open ends at once.
    virtual void cancelRead() = 0;
    // One blocking write bounded by the write time-outs; the count of bytes written.
    virtual int write(const std::uint8_t* bytes, int byteCount) = 0;
    // Returns when the written bytes have left the port, or when they cannot.
    virtual bool flush() = 0;
    virtual bool close() = 0;
};

// The serial interface of the operating system the program runs on.
std::unique_ptr<PortDevice> makeSystemPortDevice();

}  // namespace iap
