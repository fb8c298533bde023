#include "flash_write/FlashWrite.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>

#include "flash_write/Delay.h"
#include "flash_write/FlashImageFile.h"
#include "flash_write/HexEntry.h"
#include "protocol/CommandFrame.h"
#include "window/BoxNumber.h"
#include "window/ButtonStates.h"
#include "window/ConnectionControls.h"
#include "window/MainWindow.h"
#include "window/TimerControl.h"

namespace iap {
namespace {

constexpr double CommandToFirstPageSeconds = 0.5;
constexpr int TransferPollIntervalMs = 50;

void errorPath(主窗口& w)
{
    w.写FLASH[0]->setEnabled(true);
    w.写FLASH[1]->setEnabled(true);
}

// Any fault in the write, also in a step that runs after the half-second wait, takes the error path.
void guarded(主窗口& w, const std::function<void()>& steps)
{
    try {
        steps();
    } catch (const std::exception&) {
        errorPath(w);
    }
}

void afterHalfSecond(主窗口& w, std::function<void()> steps)
{
    Delay(*w.platform.clock, CommandToFirstPageSeconds, &w, [&w, steps = std::move(steps)] { guarded(w, steps); });
}

void armFirstPage(主窗口& w)
{
    Enable(w.Timer1);
    SetInterval(w.Timer1, TransferPollIntervalMs);
    w.PageIndex = w.FirstDataPage;
    w.RunningChecksum = 0;
    w.校验和->setText(QStringLiteral("0"));
    w.当前包->setText(QString::number(w.PageIndex));
    w.SendNextPage = true;
    Enable(w.Timer2);
}

// From loading the slot's file to the command, then the first page half a second later, unless
// the write has been given up by then (Refresh, a verdict or another operation).
void announce(主窗口& w, int index)
{
    if (!FLASH文件控制(w, std::int16_t(index + 1))) {
        errorPath(w);
        return;
    }
    w.BeginTransfer();
    const std::uint64_t transfer = w.TransferNumber;
    w.读包数->setText(QString::number(w.LastPageIndex - w.FirstDataPage));
    SendCommand(w.serial, MakeCommandFrame(FlashWriteKeyword, TargetAddress(w), BoxNumber(w.读包数->text())));
    w.VersionShown = false;
    按钮控制(w, 1);
    afterHalfSecond(w, [&w, transfer] {
        if (w.TransferRunning && w.TransferNumber == transfer)
            armFirstPage(w);
    });
}

void run(主窗口& w, int index)
{
    w.EndTransfer();
    w.ReadInProgress = false;
    w.ResetTransfer();
    w.引导程序版本->setText(QStringLiteral("IAP Version:"));
    OpenClick(w);
    if (w.serial.PortOpen()) {
        announce(w, index);
        return;
    }
    按钮控制(w, 1);
    afterHalfSecond(w, [&w, index] {
        Enable(w.Timer1);
        SetInterval(w.Timer1, TransferPollIntervalMs);
        w.SetStatus(QString());
        w.discovery.ListPorts(*w.COMID);
        OpenClick(w);
        // Arming the page sender without an open port could only report a write that never happened.
        if (w.serial.PortOpen())
            announce(w, index);
    });
}

}  // namespace

void 写FLASHClick(主窗口& w, int index)
{
    guarded(w, [&w, index] { run(w, index); });
}

}  // namespace iap
