#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include "serial/Line.h"
#include "serial/LineTiming.h"

namespace iap {

// The serial port on the line's own thread, with the read rules every reply is delimited by: a
// poll ends 20 ms after the last byte that came, at 2047 bytes, or empty 2048 ms after it began;
// a wait for quiet throws bytes away until the line has been silent long enough. Only SerialPort
// drives it, from its own thread, by queued calls; each result carries the number of the
// connection it belongs to.
class SerialLine : public QObject, private LineTiming {
    Q_OBJECT

public:
    SerialLine();

    bool open(const QString& portName, const LineSettings& settings);
    void close();
    void flush();
    void poll(quint64 connection);
    void awaitQuiet(quint64 connection, int quietMs);
    // An outstanding poll or wait ends without a result.
    void cancel();
    void write(const QByteArray& bytes);
    // The modem-status inputs (QSerialPort::PinoutSignals) come back through modemLines; -1
    // when the port cannot tell them.
    void readModemLines(quint64 connection);
    // What the port has received is handed over now, as the outstanding poll's chunk or as a
    // chunk of its own; then drained.
    void drain(quint64 connection);

signals:
    void polled(quint64 connection, const QByteArray& chunk);
    void discarding(quint64 connection);
    void quiet(quint64 connection);
    void modemLines(quint64 connection, int lines);
    void drained(quint64 connection);
    // The port of that open (counted from 1) went away (an adapter pulled out): writes give up
    // at once from now on.
    void lost(quint64 open);

private:
    enum class Mode { Idle, Polling, Discarding };

    void take();
    QByteArray read(qsizetype max);
    void endPoll();

    QSerialPort port;
    QTimer silence;
    QTimer deadline;
    Mode mode = Mode::Idle;
    quint64 connection = 0;
    QByteArray chunk;
    // What a port that went away had received and no poll has taken yet.
    QByteArray received;
    bool told = false;
    bool portLost = false;
    // Counts the opens asked for, so that a loss is told for the open it belongs to.
    quint64 opens = 0;
    int flushBoundMs = 0;
};

}  // namespace iap
