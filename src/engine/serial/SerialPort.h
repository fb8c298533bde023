#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>

#include <optional>

#include "serial/Line.h"

namespace iap {

class SerialLine;

// The one serial connection of a tool (or of one port of the command line). Its thread never
// waits on the line: the port lives on a thread of the line's own (SerialLine), a poll's bytes
// come back through polled, one chunk per poll, in order, and a write goes out while a poll
// waits: the line is full duplex.
class SerialPort final : public Line {
    Q_OBJECT

public:
    explicit SerialPort(QObject* parent = nullptr);
    // The written bytes leave and the port is released before the object goes.
    ~SerialPort() override;

    bool open(const QString& portName, const LineSettings& settings) override;
    // An open may wait on the disk (the lock file that tells other programs the port is taken),
    // which a thread that serves a window must not: it is done on the line's thread.
    void openInBackground(const QString& portName, const LineSettings& settings) override;
    void close() override;
    void flush() override;
    bool poll() override;
    bool awaitQuiet(int quietMs) override;
    int write(const QByteArray& bytes) override;
    void drain() override;
    void requestModemLines() override;
    std::optional<int> modemLines() const override { return lines; }
    bool isOpen() const override { return portOpen; }

private:
    void endPoll();

    QThread thread;
    SerialLine* line;
    bool portOpen = false;
    bool pollOutstanding = false;
    bool portLost = false;
    bool linesOutstanding = false;
    std::optional<int> lines;
    // Counts opens and closes, so that a poll of an earlier connection is never handed on.
    quint64 connection = 0;
    // Counts the opens and closes asked for, so that an open in the background that another has
    // followed since is not told.
    quint64 openRequests = 0;
    // Counts the opens alone, as the line does: a loss is told only for the open it belongs to.
    quint64 opens = 0;
};

}  // namespace iap
