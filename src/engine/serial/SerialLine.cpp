#include "serial/SerialLine.h"

#include <utility>

#include "serial/PortOpening.h"

namespace iap {

// The port and the timers are children, so that they move to the line's thread with it.
SerialLine::SerialLine() : port(this), silence(this), deadline(this)
{
    for (QTimer* timer : {&silence, &deadline}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    deadline.setInterval(PollMs);
    connect(&port, &QSerialPort::readyRead, this, &SerialLine::take);
    connect(&silence, &QTimer::timeout, this, [this] {
        // A thread held up past the silence finds its timer due beside bytes that came in the
        // meantime: they are taken first (which starts the silence again), or a line still talking
        // would be taken for a quiet one.
        if (port.isOpen() && !portLost && port.waitForReadyRead(0))
            return;
        if (mode == Mode::Polling)
            endPoll();
        else if (mode == Mode::Discarding) {
            mode = Mode::Idle;
            emit quiet(connection);
        }
    });
    connect(&deadline, &QTimer::timeout, this, &SerialLine::endPoll);
    // A port that went away (a pseudo-terminal's other end closed, an adapter pulled out) fails
    // every read at once; it is let go, and polled as a silent one: each poll ends empty after
    // its full time. What it had received before it went is kept for the next polls: a device
    // may well vanish right after its last reply (a board that resets once it is programmed).
    connect(&port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || std::exchange(portLost, true))
            return;
        emit lost(opens);
        QMetaObject::invokeMethod(this, [this] {
            // The line may have been closed, or opened on another port, in the meantime.
            if (!portLost || !port.isOpen())
                return;
            received = port.readAll();
            port.close();
        }, Qt::QueuedConnection);
    });
}

bool SerialLine::open(const QString& portName, const LineSettings& settings)
{
    close();
    flushBoundMs = settings.pageBytes * WriteMsPerByte + WriteConstantMs;
    ++opens;
    portLost = false;
    return openPortForDevice(port, portName, settings.baudRate);
}

void SerialLine::close()
{
    cancel();
    received.clear();
    if (port.isOpen())
        port.close();
}

void SerialLine::flush()
{
    if (port.isOpen() && !portLost)
        port.waitForBytesWritten(flushBoundMs);
}

void SerialLine::poll(quint64 polledConnection)
{
    connection = polledConnection;
    mode = Mode::Polling;
    chunk.clear();
    deadline.start();
    take();
}

void SerialLine::awaitQuiet(quint64 awaitedConnection, int quietMs)
{
    connection = awaitedConnection;
    mode = Mode::Discarding;
    told = false;
    silence.start(quietMs);
    take();
}

void SerialLine::cancel()
{
    mode = Mode::Idle;
    silence.stop();
    deadline.stop();
}

void SerialLine::write(const QByteArray& bytes)
{
    if (port.isOpen() && !portLost)
        port.write(bytes);
}

void SerialLine::readModemLines(quint64 readConnection)
{
    int lines = -1;
    if (port.isOpen() && !portLost) {
        port.clearError();
        const QSerialPort::PinoutSignals pins = port.pinoutSignals();
        if (port.error() == QSerialPort::NoError)
            lines = int(pins.toInt());
    }
    emit modemLines(readConnection, lines);
}

void SerialLine::drain(quint64 drainConnection)
{
    if (mode == Mode::Polling) {
        take();
        endPoll();
    } else if (mode == Mode::Idle) {
        if (const QByteArray bytes = read(ReadRequestBytes); !bytes.isEmpty())
            emit polled(drainConnection, bytes);
    }
    emit drained(drainConnection);
}

// Whatever the port holds: page data and replies up to a poll's size, or bytes to throw away.
void SerialLine::take()
{
    if (mode == Mode::Discarding) {
        if (read(-1).isEmpty())
            return;
        if (!std::exchange(told, true))
            emit discarding(connection);
        silence.start();
        return;
    }
    if (mode != Mode::Polling)
        return;
    const QByteArray bytes = read(ReadRequestBytes - chunk.size());
    if (bytes.isEmpty())
        return;
    chunk += bytes;
    if (chunk.size() >= ReadRequestBytes)
        endPoll();
    else
        silence.start(ReplySilenceMs);
}

// At most `max` bytes (all for -1): first those kept from a port that has gone, then the port's.
QByteArray SerialLine::read(qsizetype max)
{
    const qsizetype kept = max < 0 ? received.size() : std::min(max, received.size());
    QByteArray bytes = received.left(kept);
    received.remove(0, kept);
    if (port.isOpen() && (max < 0 || bytes.size() < max))
        bytes += max < 0 ? port.readAll() : port.read(max - bytes.size());
    return bytes;
}

void SerialLine::endPoll()
{
    if (mode != Mode::Polling)
        return;
    cancel();
    emit polled(connection, std::exchange(chunk, {}));
}

}  // namespace iap
