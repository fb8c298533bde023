#include "protocol/ReplyDispatcher.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "protocol/ReadFlow.h"
#include "protocol/Replies.h"
#include "window/BoxNumber.h"
#include "window/ButtonStates.h"
#include "window/MainWindow.h"
#include "window/TimerControl.h"

namespace iap {
namespace {

constexpr int TransferPollIntervalMs = 50;

struct Note {
    int frequencyHz;
    int durationMs;
};
constexpr Note CompletionTune[] = {{659, 300}, {523, 300}, {587, 300}};

// A poll blocks for up to two seconds, and a timer that is overdue when its tick ends fires
// again before any other: the page sender's 1 ms timer would never get its turn. Counting the
// interval from the end of the tick gives every armed page its turn first.
class RestartAtEndOfTick {
public:
    explicit RestartAtEndOfTick(QTimer* timer) : timer(timer) {}
    ~RestartAtEndOfTick()
    {
        if (timer->isActive())
            timer->start();
    }
    RestartAtEndOfTick(const RestartAtEndOfTick&) = delete;
    RestartAtEndOfTick& operator=(const RestartAtEndOfTick&) = delete;

private:
    QTimer* timer;
};

// Page data stream at the line rate and a driver buffers only a few KiB, which fill long
// before the next tick: while data keep coming, each poll is followed at once by the next.
// When the data are complete the end of the read follows after a short pause, and one more
// poll takes it. A poll that ends just after the data may cut that reply: a rest too short to
// be the whole reply is joined with the next poll before it is judged.
QByteArray takeReadData(主窗口& w, ReadFlow& read, QByteArray chunk)
{
    for (;;) {
        if (chunk.isEmpty())
            return {};
        const QByteArray rest = read.TakeData(w, chunk);
        if (!rest.isEmpty())
            return rest.size() < ChecksumReplyBytes && w.serial.PortOpen() ? rest + w.serial.ReadPort() : rest;
        if (!w.serial.PortOpen())
            return {};
        if (!read.ExpectsData(w))
            return w.serial.ReadPort();
        chunk = w.serial.ReadPort();
    }
}

bool checksumHolds(const 主窗口& w, const QByteArray& chunk)
{
    const auto sum = DeviceSum(chunk);
    return sum && *sum == w.RunningChecksum && BoxNumber(w.读包数->text()) <= BoxNumber(w.当前包->text());
}

void acknowledgePage(主窗口& w)
{
    w.当前包->setText(QString::number(w.PageIndex));
    ++w.PageIndex;
    w.SendNextPage = true;
    Enable(w.Timer2);
}

}  // namespace

void ReplyDispatcher(主窗口& w, ReadFlow& read)
{
    RestartAtEndOfTick restart(w.Timer1);
    if (!w.serial.PortOpen())
        return;
    QByteArray chunk = w.serial.ReadPort();
    if (w.ReadInProgress && read.ExpectsData(w)) {
        chunk = takeReadData(w, read, chunk);
        if (chunk.isEmpty())
            return;
    }
    if (chunk.isEmpty()) {
        Enable(w.Timer2);
        return;
    }
    Disable(w.Timer2);

    switch (Recognise(chunk, w.VersionShown)) {
    case Reply::ChecksumRead:
        read.ReadCompletion(w, chunk);
        w.EndTransfer();
        return;
    case Reply::ChecksumWrite:
        if (checksumHolds(w, chunk)) {
            w.SetStatus(QStringLiteral("Write Checksum right"));
            w.当前包->clear();
            ++w.AutoStep;
            按钮控制(w, 2);
        } else {
            w.SetStatus(QStringLiteral("Write Checksum error"));
        }
        w.EndTransfer();
        return;
    case Reply::ChecksumDownload:
        if (checksumHolds(w, chunk)) {
            w.SetStatus(QStringLiteral("IAP Checksum right"));
            w.当前包->clear();
            按钮控制(w, 2);
            w.AutoStep = 1;
            if (w.提示音->checkState() == Qt::Checked)
                for (const Note& note : CompletionTune)
                    w.platform.tone->Beep(note.frequencyHz, note.durationMs);
        } else {
            w.AutoStep = 3;
            w.SetStatus(QStringLiteral("IAP Checksum error"));
        }
        w.EndTransfer();
        return;
    case Reply::EraseDone:
        w.SetStatus(QStringLiteral("Erase ok"));
        Enable(w.Timer1);
        SetInterval(w.Timer1, TransferPollIntervalMs);
        w.PageIndex = 0;
        w.当前包->setText(QStringLiteral("0"));
        w.RunningChecksum = 0;
        w.SendNextPage = true;
        Enable(w.Timer2);
        return;
    case Reply::Version:
        w.引导程序版本->setText(QStringLiteral("IAP Version:  ") + VersionText(chunk));
        w.SetStatus(QStringLiteral("Write readly"));
        w.VersionShown = true;
        return;
    case Reply::Acknowledgements:
        if (ContainsNoCase(chunk, "d"))
            acknowledgePage(w);
        if (ContainsNoCase(chunk, "Write")) {
            acknowledgePage(w);
            w.SetStatus(QStringLiteral("Write ") + QString::number(w.PageIndex));
        }
        return;
    }
}

}  // namespace iap
