#include "window/AutoSequence.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include "window/MainWindow.h"
#include "session/TimerControl.h"

namespace iap {
namespace {

constexpr int StepIntervalMs = 1000;
constexpr int NoApplicationPauseMs = 5000;
constexpr int DownloadStartedPauseMs = 20000;

}  // namespace

void Check1Click(主窗口& w)
{
    w.AutoStep = 1;
    if (w.Check1->checkState() != Qt::Unchecked)
        Enable(w.Timer3);
    else
        Disable(w.Timer3);
}

void Timer3Tick(主窗口& w)
{
    SetInterval(w.Timer3, StepIntervalMs);
    if (w.session.serial.PortOpen())
        return;
    switch (w.AutoStep) {
    case 1:
        if (w.写FLASH[0]->isEnabled())
            w.写FLASH[0]->click();
        else
            w.AutoStep = 2;
        break;
    case 2:
        if (w.写FLASH[1]->isEnabled())
            w.写FLASH[1]->click();
        else
            w.AutoStep = 3;
        break;
    case 3:
        if (w.开始下载->isEnabled()) {
            SetInterval(w.Timer3, DownloadStartedPauseMs);
            w.开始下载->click();
        } else {
            SetInterval(w.Timer3, NoApplicationPauseMs);
            w.AutoStep = 1;
        }
        break;
    default:
        break;
    }
}

}  // namespace iap
