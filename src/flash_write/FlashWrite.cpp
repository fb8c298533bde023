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

// From loading the slot's file to arming the page sender. False when the file cannot be loaded.
bool announceAndArm(主窗口& w, int index)
{
    if (!FLASH文件控制(w, std::int16_t(index + 1)))
        return false;
    w.BeginTransfer();
    w.读包数->setText(QString::number(w.LastPageIndex - w.FirstDataPage));
    SendCommand(w.serial, MakeCommandFrame(FlashWriteKeyword, TargetAddress(w), BoxNumber(w.读包数->text())));
    w.VersionShown = false;
    按钮控制(w, 1);
    Delay(*w.platform.clock, CommandToFirstPageSeconds);
    Enable(w.Timer1);
    SetInterval(w.Timer1, TransferPollIntervalMs);
    w.PageIndex = w.FirstDataPage;
    w.RunningChecksum = 0;
    w.校验和->setText(QStringLiteral("0"));
    w.当前包->setText(QString::number(w.PageIndex));
    w.SendNextPage = true;
    Enable(w.Timer2);
    return true;
}

void errorPath(主窗口& w)
{
    w.写FLASH[0]->setEnabled(true);
    w.写FLASH[1]->setEnabled(true);
}

void run(主窗口& w, int index)
{
    w.EndTransfer();
    w.ReadInProgress = false;
    w.ResetTransfer();
    w.引导程序版本->setText(QStringLiteral("IAP Version:"));
    OpenClick(w);
    if (!w.serial.PortOpen()) {
        按钮控制(w, 1);
        Delay(*w.platform.clock, CommandToFirstPageSeconds);
        Enable(w.Timer1);
        SetInterval(w.Timer1, TransferPollIntervalMs);
        w.SetStatus(QString());
        w.discovery.ListPorts(*w.COMID);
        OpenClick(w);
        // Arming the page sender without an open port could only report a write that never happened.
        if (!w.serial.PortOpen())
            return;
    }
    if (!announceAndArm(w, index))
        errorPath(w);
}

}  // namespace

void 写FLASHClick(主窗口& w, int index)
{
    try {
        run(w, index);
    } catch (const std::exception&) {
        errorPath(w);
    }
}

}  // namespace iap
