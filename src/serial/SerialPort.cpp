#include "serial/SerialPort.h"

#include <algorithm>

namespace iap {

namespace {

constexpr int ReadIntervalTimeoutMs = 20;
constexpr int ReadTotalTimeoutMultiplierMs = 1;
constexpr int ReadTotalTimeoutConstantMs = 1;
constexpr int WriteTotalTimeoutMultiplierMs = 1;
constexpr int WriteTotalTimeoutConstantMs = 10;

constexpr CommTimeouts PortTimeouts{
    ReadIntervalTimeoutMs,
    ReadTotalTimeoutMultiplierMs,
    ReadTotalTimeoutConstantMs,
    WriteTotalTimeoutMultiplierMs,
    WriteTotalTimeoutConstantMs,
};

}  // namespace

SerialPort::SerialPort(std::unique_ptr<PortDevice> device)
    : device(device ? std::move(device) : makeSystemPortDevice())
{
}

void SerialPort::setStatusSink(std::function<void(const QString&)> sink)
{
    statusSink = std::move(sink);
}

void SerialPort::reportOpenFailure()
{
    if (statusSink)
        statusSink(QString::fromLatin1(OpenFailureText));
}

bool SerialPort::OpenPort(const QString& portDeviceName, const QString& settings)
{
    if (!device->open(portDeviceName.toLocal8Bit().toStdString())) {
        reportOpenFailure();
        portOpen = false;
        return false;
    }
    const bool configured = device->setTimeouts(PortTimeouts)
        && device->buildLineSettings(settings.toStdString())
        && device->applyLineSettings();
    if (!configured) {
        reportOpenFailure();
        device->close();
        portOpen = false;
        return false;
    }
    portOpen = true;
    return true;
}

bool SerialPort::ClosePort()
{
    portOpen = false;
    return device->close();
}

void SerialPort::FlushPort()
{
    if (portOpen)
        device->flush();
}

QByteArray SerialPort::ReadPort()
{
    const int received = portOpen ? device->read(TransferBuffer.data(), ReadRequestBytes) : 0;
    if (received <= 0) {
        FlushPort();
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(TransferBuffer.data()), std::min(received, ReadRequestBytes));
}

std::int16_t SerialPort::WritePort()
{
    if (!portOpen)
        return 0;
    // LastByteIndex comes from whichever sender ran last; a bad value must never send bytes
    // from outside the buffer.
    const int byteCount = std::clamp<std::int32_t>(LastByteIndex, 0, TransferBufferBytes - 1) + 1;
    return static_cast<std::int16_t>(device->write(TransferBuffer.data(), byteCount));
}

}  // namespace iap
