#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

#include "platform/ClockTimer.h"
#include "protocol/OperationKind.h"
#include "protocol/ReplyStream.h"
#include "session/Exchange.h"
#include "session/OperationResult.h"

namespace iap {

class Connection;

// What every operation is to the front ends: it starts on an open connection, shows its
// progress, and ends with a result. A front end never learns what happened from a status text:
// the result says it. Optionally, a device that makes no progress for a while ends it.
class DeviceOperation : public QObject, public Exchange {
    Q_OBJECT

public:
    OperationKind kind() const { return operationKind; }
    // A device that makes no progress (command sent, erase reported, page acknowledged, page
    // data received) for that many seconds ends the operation with no reply; 0: it waits for ever.
    void setReplyTimeout(int seconds);
    // The same bound in milliseconds, for a wait shorter than a second.
    void setReplyTimeoutMs(int ms);

signals:
    // The status line: the system's own texts, for a person to read.
    void status(const QString& text);
    // Current Page as it is to show; emptied once a transfer is verified.
    void currentPageShown(std::int64_t page);
    void currentPageCleared();
    // The sum of the bytes sent or received so far.
    void runningSum(std::uint32_t sum);
    // Pages acknowledged or received of all.
    void progress(int done, int total);
    void finished(const iap::OperationResult& result);

protected:
    // What the operation waits for from the device as it moves on.
    enum class Awaiting { Quiet, EraseReport, VersionReply, Acknowledgement, PageData, ChecksumReply };

    DeviceOperation(Connection& connection, OperationKind kind, QObject* parent);

    // The command goes once the line is quiet; the bytes on the connection come here from now on.
    void begin(const QByteArray& command, std::function<void()> sent);
    // A step of progress: what is awaited from now on, and the page whose acknowledgement it is.
    void awaits(Awaiting what, int page = 0);
    void finish(const OperationResult& result);
    Connection& connection() { return link; }
    // The device's replies as they come, fragments joined while the line stays busy: an empty
    // poll clears it.
    ReplyStream& incoming() { return replyStream; }

private:
    static QString describe(Awaiting what, int page);

    Connection& link;
    OperationKind operationKind;
    ReplyStream replyStream;
    ClockTimer watch;
    int timeoutMs = 0;
    QString awaited;
};

}  // namespace iap
