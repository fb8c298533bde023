#include "protocol/ReplyDispatcher.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <utility>

#include "protocol/ReadFlow.h"
#include "protocol/Replies.h"
#include "window/BoxNumber.h"
#include "window/ButtonStates.h"
#include "window/MainWindow.h"
#include "window/TimerControl.h"

namespace iap {
namespace {

constexpr int TransferPollIntervalMs = 50;


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

void ReplyDispatcher::Tick()
{
    if (w.serial.PortOpen())
        w.serial.Poll();
}

void ReplyDispatcher::Handle(const QByteArray& polled)
{
    // The next poll is counted from here, so that a page armed by this chunk leaves before it.
    if (w.Timer1->isActive())
        w.Timer1->start();
    if (std::exchange(readEndPolled, std::nullopt) == w.serial.Connection()) {
        const QByteArray chunk = std::exchange(readEndStart, {}) + polled;
        if (!chunk.isEmpty())
            recognise(chunk);
        return;
    }
    readEndStart.clear();
    if (!w.ReadInProgress || !read.ExpectsData(w)) {
        recognise(polled);
        return;
    }
    // Page data stream at the line rate and a driver buffers only a few KiB: while they keep
    // coming, each poll is followed at once by the next. The read's end follows the data.
    if (polled.isEmpty())
        return;
    const QByteArray rest = read.TakeData(w, polled);
    if (rest.size() >= ChecksumReplyBytes) {
        recognise(rest);
        return;
    }
    if (!read.ExpectsData(w)) {
        readEndPolled = w.serial.Connection();
        readEndStart = rest;
    }
    w.serial.Poll();
}

void ReplyDispatcher::recognise(const QByteArray& chunk)
{
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
                w.tunes.Play({{659, 300}, {523, 300}, {587, 300}});
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
