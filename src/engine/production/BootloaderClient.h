#pragma once

#include <QObject>

#include <memory>

#include "download/Download.h"
#include "flash_read/FlashRead.h"
#include "flash_write/FlashWrite.h"
#include "protocol/ReplyRecognition.h"
#include "session/Connection.h"
#include "session/TransferPolicy.h"

namespace iap {

class Clock;

// A device's bootloader on one port, as the tool drives it: the connection and the three
// operations that run on it, one at a time, each on a connection opened afresh.
class BootloaderClient : public QObject {
    Q_OBJECT

public:
    // On `line`, or the serial port when none is given; its transfers follow `policy`.
    explicit BootloaderClient(Clock& clock, std::unique_ptr<Line> line = {}, const TransferPolicy& policy = TransferPolicy::standard(),
                              QObject* parent = nullptr);

    Connection& connection() { return link; }
    Download& download() { return applicationDownload; }
    FlashWrite& flashWrite() { return imageWrite; }
    FlashRead& flashRead() { return readBack; }

    // The bootloader's version counts as not announced until it comes again: its replies are
    // taken as before a flash write, and a transfer's end tells no version (the window's user
    // chose a new application image).
    void forgetVersion() { recognition.setVersionShown(false); }
    // Every operation ends when the device makes no progress for that many seconds (0: never).
    void setReplyTimeout(int seconds);

private:
    Connection link;
    ReplyRecognition recognition;
    Download applicationDownload;
    FlashWrite imageWrite;
    FlashRead readBack;
};

}  // namespace iap
