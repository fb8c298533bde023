#pragma once

#include <QByteArray>

#include <optional>

namespace iap {

class 主窗口;
class ReadFlow;

// Drives every operation from the device's replies. Each Timer1 tick starts a poll of the open
// port (never a second one while one is outstanding); each poll's chunk is then recognised and
// moves the operation on. A read in progress takes its page data from the chunks, polling again
// at once while data keep coming.
class ReplyDispatcher {
public:
    ReplyDispatcher(主窗口& w, ReadFlow& read) : w(w), read(read) {}

    // The Timer1 tick.
    void Tick();
    // The chunk of one poll.
    void Handle(const QByteArray& chunk);

private:
    void recognise(const QByteArray& chunk);

    主窗口& w;
    ReadFlow& read;
    // The poll started after a read's last page data, on this connection, brings the read's end.
    std::optional<quint64> readEndPolled;
    // Bytes after a read's last page data too short to be its end: the poll boundary cut it.
    QByteArray readEndStart;
};

}  // namespace iap
