#include "serial/SerialPort.h"

#include <algorithm>
#include <utility>

namespace iap {

namespace {

constexpr int ReadIntervalTimeoutMs = 20;
constexpr int ReadTotalTimeoutMultiplierMs = 1;
constexpr int ReadTotalTimeoutConstantMs = 1;
constexpr int WriteTotalTimeoutMultiplierMs = 1;
constexpr int WriteTotalTimeoutConstantMs = 10;

constexpr CommTimeouts PortTimeouts(ReadIntervalTimeoutMs, ReadTotalTimeoutMultiplierMs, ReadTotalTimeoutConstantMs,
                                    WriteTotalTimeoutMultiplierMs, WriteTotalTimeoutConstantMs);

// A read that ends empty only after quietMs of silence, whatever it asks for.
constexpr CommTimeouts quietTimeouts(int quietMs)
{
    return CommTimeouts(ReadIntervalTimeoutMs, 0, quietMs, WriteTotalTimeoutMultiplierMs, WriteTotalTimeoutConstantMs);
}

}  // namespace

SerialPort::SerialPort(std::unique_ptr<PortDevice> device, QObject* parent)
    : QObject(parent), device(device ? std::move(device) : makeSystemPortDevice()), lineContext(new QObject)
{
    lineContext->moveToThread(&line);
    connect(&line, &QThread::finished, lineContext, &QObject::deleteLater);
    line.setObjectName(QStringLiteral("serial line"));
    line.start();
}

SerialPort::~SerialPort()
{
    endPoll();
    // Whatever was queued for the line (a flush, a release) is done before the line stops.
    QMetaObject::invokeMethod(lineContext, [] {}, Qt::BlockingQueuedConnection);
    line.quit();
    line.wait();
}

void SerialPort::onLine(std::function<void()> job)
{
    QMetaObject::invokeMethod(lineContext, std::move(job), Qt::QueuedConnection);
}

void SerialPort::onConnection(quint64 polledConnection, std::function<void()> job)
{
    QMetaObject::invokeMethod(this, [this, polledConnection, job = std::move(job)] {
        if (polledConnection == connection)
            job();
    });
}

void SerialPort::endPoll()
{
    // The connection changes first, so that a wait for quiet that the cancel wakes stops at once.
    ++connection;
    if (pollOutstanding)
        device->cancelRead();
    pollOutstanding = false;
}

bool SerialPort::open(const QString& portName, int baudRate)
{
    endPoll();
    portOpen = false;
    const std::string name = portName.toLocal8Bit().toStdString();
    bool opened = false;
    // On the line's thread, after whatever it still has to do for the previous connection.
    QMetaObject::invokeMethod(
        lineContext,
        [&] {
            if (!device->open(name))
                return;
            opened = device->setTimeouts(PortTimeouts) && device->setLine(baudRate);
            if (!opened)
                device->close();
        },
        Qt::BlockingQueuedConnection);
    portOpen = opened;
    return opened;
}

void SerialPort::close()
{
    portOpen = false;
    endPoll();
    onLine([this] { device->close(); });
}

void SerialPort::flush()
{
    if (portOpen)
        onLine([this] { device->flush(); });
}

bool SerialPort::poll()
{
    if (!portOpen || pollOutstanding)
        return false;
    pollOutstanding = true;
    const quint64 polledConnection = connection;
    onLine([this, polledConnection] {
        std::array<std::uint8_t, ReadRequestBytes> received{};
        const int count = device->read(received.data(), ReadRequestBytes);
        // A silent line is flushed, so that what was written has left before the next poll.
        if (count <= 0)
            device->flush();
        const QByteArray chunk(reinterpret_cast<const char*>(received.data()), std::clamp(count, 0, ReadRequestBytes));
        onConnection(polledConnection, [this, chunk] {
            pollOutstanding = false;
            emit polled(chunk);
        });
    });
    return true;
}

bool SerialPort::awaitQuiet(int quietMs)
{
    if (!portOpen || pollOutstanding)
        return false;
    pollOutstanding = true;
    const quint64 awaitedConnection = connection;
    onLine([this, awaitedConnection, quietMs] {
        std::array<std::uint8_t, ReadRequestBytes> discarded{};
        device->setTimeouts(quietTimeouts(quietMs));
        bool told = false;
        while (connection == awaitedConnection && device->read(discarded.data(), ReadRequestBytes) > 0) {
            if (!std::exchange(told, true))
                onConnection(awaitedConnection, [this] { emit discarding(); });
        }
        device->setTimeouts(PortTimeouts);
        onConnection(awaitedConnection, [this] {
            pollOutstanding = false;
            emit quiet();
        });
    });
    return true;
}

int SerialPort::write(const QByteArray& bytes)
{
    if (!portOpen)
        return 0;
    return device->write(reinterpret_cast<const std::uint8_t*>(bytes.constData()), int(bytes.size()));
}

}  // namespace iap
