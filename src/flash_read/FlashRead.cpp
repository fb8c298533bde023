#include "flash_read/FlashRead.h"

#include <QSaveFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

#include "flash_write/HexEntry.h"
#include "protocol/CommandFrame.h"
#include "protocol/Replies.h"
#include "window/BoxNumber.h"
#include "window/ConnectionControls.h"
#include "window/MainWindow.h"
#include "window/TimerControl.h"

namespace iap {
namespace {

constexpr int ReadPollIntervalMs = 1000;

void refuse(主窗口& w, const QString& text)
{
    w.platform.messageBox->Show(&w, text, w.windowTitle(), MessageBox::Icon::None);
}

}  // namespace

void FlashRead::读FlashClick(主窗口& w)
{
    const std::int64_t pages = BoxNumber(w.读包数->text());
    if (pages < 1) {
        refuse(w, QStringLiteral("TotalPages must >=1"));
        return;
    }
    // The store holds 1025 pages; more would be lost or overrun it.
    if (pages > MaxPages) {
        refuse(w, QStringLiteral("TotalPages must <=%1").arg(MaxPages));
        return;
    }
    w.EndTransfer();
    w.ReadInProgress = true;
    // Whatever an earlier read left unfinished, no byte is page data until this read's command is out.
    expectedBytes = 0;
    receivedBytes = 0;
    w.读Flash->setEnabled(false);
    w.校验和->setText(QStringLiteral("0"));
    Enable(w.Timer1);
    SetInterval(w.Timer1, ReadPollIntervalMs);
    w.RunningChecksum = 0;
    OpenClick(w);
    if (!w.serial.PortOpen())
        return;
    expectedBytes = pages * 主窗口::PageBytes;
    w.BeginTransfer();
    SendCommand(w.serial, MakeCommandFrame(FlashReadKeyword, TargetAddress(w), pages));
    // The device starts to stream at once and a driver buffers only a few KiB: the first poll
    // must not wait for the once-a-second tick.
    w.serial.Poll();
}

bool FlashRead::ExpectsData(const 主窗口&) const
{
    return receivedBytes < expectedBytes;
}

QByteArray FlashRead::TakeData(主窗口& w, const QByteArray& chunk)
{
    const auto take = qsizetype(std::min<std::int64_t>(chunk.size(), expectedBytes - receivedBytes));
    for (qsizetype k = 0; k < take; ++k, ++receivedBytes) {
        const auto byte = std::uint8_t(chunk[k]);
        w.ReadBack(int(receivedBytes % 主窗口::PageBytes), int(receivedBytes / 主窗口::PageBytes)) = byte;
        w.RunningChecksum += byte;
    }
    // Progress as a download shows it: the last page received and the running sum.
    if (receivedBytes >= 主窗口::PageBytes)
        w.当前包->setText(QString::number(receivedBytes / 主窗口::PageBytes - 1));
    w.校验和->setText(ChecksumDisplay(w.RunningChecksum));
    return chunk.mid(take);
}

void FlashRead::ReadCompletion(主窗口& w, const QByteArray& chunk)
{
    w.读Flash->setEnabled(true);
    const auto sum = DeviceSum(chunk);
    if (!sum || *sum != w.RunningChecksum) {
        w.SetStatus(QStringLiteral("Read Checksum error"));
        return;
    }
    w.SetStatus(QStringLiteral("Read Checksum right"));
    // Exactly the pages this read asked for and verified, whatever the box shows by now.
    const int pagesVerified = int(expectedBytes / 主窗口::PageBytes);
    const QString name = w.platform.fileDialog->ShowSave(&w, QStringLiteral("*.BIN (*.bin)"));
    if (!name.isEmpty() && !SaveReadBack(w, name, pagesVerified))
        w.SetStatus(QStringLiteral("The read-back file can't be written: ") + name);
}

void 当前包KeyDown(主窗口& w, int key)
{
    if (key == Qt::Key_F2)
        w.读Flash->setVisible(true);
}

bool SaveReadBack(主窗口& w, const QString& fileName, int pages)
{
    // Written beside the target and renamed over it only when complete, so a failure never
    // leaves half a file in place of the user's old one.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int p = 0; p < std::clamp(pages, 0, FlashRead::MaxPages); ++p) {
        const char* page = reinterpret_cast<const char*>(&w.ReadBack(0, p));
        if (file.write(page, 主窗口::PageBytes) != 主窗口::PageBytes)
            return false;
    }
    // Qt's commit does not see a buffered write that fails at the last flush (a full disk).
    return file.flush() && file.commit();
}

}  // namespace iap
