#include "serial/SerialPort.h"

#include "serial/SerialLine.h"

#include <utility>

namespace iap {

SerialPort::SerialPort(QObject* parent) : Line(parent), line(new SerialLine)
{
    line->moveToThread(&thread);
    connect(&thread, &QThread::finished, line, &QObject::deleteLater);
    connect(line, &SerialLine::polled, this, [this](quint64 polledConnection, const QByteArray& chunk) {
        if (polledConnection != connection)
            return;
        pollOutstanding = false;
        emit polled(chunk);
    });
    connect(line, &SerialLine::discarding, this, [this](quint64 awaitedConnection) {
        if (awaitedConnection == connection)
            emit discarding();
    });
    connect(line, &SerialLine::quiet, this, [this](quint64 awaitedConnection) {
        if (awaitedConnection != connection)
            return;
        pollOutstanding = false;
        emit quiet();
    });
    connect(line, &SerialLine::modemLines, this, [this](quint64 readConnection, int read) {
        if (readConnection != connection)
            return;
        linesOutstanding = false;
        lines = read < 0 ? std::nullopt : std::optional<int>(read);
    });
    connect(line, &SerialLine::drained, this, [this](quint64 drainedConnection) {
        if (drainedConnection == connection)
            emit drained();
    });
    connect(line, &SerialLine::lost, this, [this](quint64 open) {
        if (open != opens || !portOpen || std::exchange(portLost, true))
            return;
        emit lost();
    });
    thread.setObjectName(QStringLiteral("serial line"));
    thread.start();
}

SerialPort::~SerialPort()
{
    endPoll();
    // Whatever was queued for the line (a flush, a release) is done before the line stops.
    QMetaObject::invokeMethod(line, [this] { line->close(); }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

void SerialPort::endPoll()
{
    ++connection;
    if (pollOutstanding)
        QMetaObject::invokeMethod(line, [this] { line->cancel(); });
    pollOutstanding = false;
    linesOutstanding = false;
    lines.reset();
}

bool SerialPort::open(const QString& portName, const LineSettings& settings)
{
    ++openRequests;
    ++opens;
    endPoll();
    portOpen = false;
    bool opened = false;
    // On the line's thread, after whatever it still has to do for the previous connection.
    QMetaObject::invokeMethod(line, [&] { opened = line->open(portName, settings); }, Qt::BlockingQueuedConnection);
    portOpen = opened;
    portLost = false;
    return opened;
}

void SerialPort::openInBackground(const QString& portName, const LineSettings& settings)
{
    const quint64 request = ++openRequests;
    ++opens;
    endPoll();
    portOpen = false;
    QMetaObject::invokeMethod(line, [this, portName, settings, request] {
        const bool ok = line->open(portName, settings);
        QMetaObject::invokeMethod(this, [this, ok, request] {
            if (request != openRequests)
                return;
            portOpen = ok;
            portLost = false;
            emit opened(ok);
        });
    });
}

void SerialPort::close()
{
    ++openRequests;
    portOpen = false;
    endPoll();
    QMetaObject::invokeMethod(line, [this] { line->close(); });
}

void SerialPort::flush()
{
    if (portOpen)
        QMetaObject::invokeMethod(line, [this] { line->flush(); });
}

bool SerialPort::poll()
{
    if (!portOpen || pollOutstanding)
        return false;
    pollOutstanding = true;
    QMetaObject::invokeMethod(line, [this, polledConnection = connection] { line->poll(polledConnection); });
    return true;
}

bool SerialPort::awaitQuiet(int quietMs)
{
    if (!portOpen)
        return false;
    // A poll of an earlier exchange on a port held open: what it would bring goes with the rest.
    if (pollOutstanding)
        endPoll();
    pollOutstanding = true;
    QMetaObject::invokeMethod(line, [this, awaitedConnection = connection, quietMs] { line->awaitQuiet(awaitedConnection, quietMs); });
    return true;
}

void SerialPort::drain()
{
    if (portOpen)
        QMetaObject::invokeMethod(line, [this, drainConnection = connection] { line->drain(drainConnection); });
}

void SerialPort::requestModemLines()
{
    if (!portOpen || linesOutstanding)
        return;
    linesOutstanding = true;
    QMetaObject::invokeMethod(line, [this, readConnection = connection] { line->readModemLines(readConnection); });
}

int SerialPort::write(const QByteArray& bytes)
{
    if (!portOpen || portLost)
        return 0;
    QMetaObject::invokeMethod(line, [this, bytes] { line->write(bytes); });
    return int(bytes.size());
}

}  // namespace iap
