#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace iap {

// The five time-outs of a serial port, in the operating system's own terms: a read ends after
// readInterval of silence that follows at least one byte, or after
// readTotalMultiplier × requested bytes + readTotalConstant; a write may take
// writeTotalMultiplier × bytes + writeTotalConstant.
class CommTimeouts {
public:
    constexpr CommTimeouts(int readIntervalMs, int readTotalMultiplierMs, int readTotalConstantMs, int writeTotalMultiplierMs,
                           int writeTotalConstantMs)
        : readInterval(readIntervalMs), readMultiplier(readTotalMultiplierMs), readConstant(readTotalConstantMs),
          writeMultiplier(writeTotalMultiplierMs), writeConstant(writeTotalConstantMs)
    {
    }
    constexpr int readIntervalMs() const { return readInterval; }
    constexpr int readTotalMultiplierMs() const { return readMultiplier; }
    constexpr int readTotalConstantMs() const { return readConstant; }
    constexpr int writeTotalMultiplierMs() const { return writeMultiplier; }
    constexpr int writeTotalConstantMs() const { return writeConstant; }

private:
    int readInterval;
    int readMultiplier;
    int readConstant;
    int writeMultiplier;
    int writeConstant;
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
    // received yet. portName is the name the port list shows. An already open port is released
    // first.
    virtual bool open(const std::string& portName) = 0;
    virtual bool setTimeouts(const CommTimeouts& timeouts) = 0;
    // The line at that rate, 8 data bits, no parity, 1 stop bit, no flow control, every byte
    // passed raw. False when the port does not take the rate.
    virtual bool setLine(int baudRate) = 0;
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
