#include "window/AutoSequence.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include "window/MainWindow.h"
#include "window/Operations.h"

namespace iap {
namespace {

constexpr int StepIntervalMs = 1000;
constexpr int NoApplicationPauseMs = 5000;
constexpr int DownloadStartedPauseMs = 20000;

}  // namespace

void automaticToggled(MainWindow& w)
{
    w.automaticStep = 1;
    if (w.automaticBox->checkState() == Qt::Unchecked)
        w.automaticTimer->stop();
    else if (!w.automaticTimer->isActive())
        w.automaticTimer->start();
}

void automaticTick(MainWindow& w)
{
    w.automaticTimer->setInterval(StepIntervalMs);
    if (w.bootloader.connection().isOpen())
        return;
    switch (w.automaticStep) {
    case 1:
    case 2: {
        const int slot = w.automaticStep - 1;
        if (w.writeFlashButtons[std::size_t(slot)]->isEnabled())
            startFlashWrite(w, slot);
        else
            ++w.automaticStep;
        break;
    }
    case 3:
        if (w.downloadButton->isEnabled()) {
            w.automaticTimer->setInterval(DownloadStartedPauseMs);
            startDownload(w);
        } else {
            w.automaticTimer->setInterval(NoApplicationPauseMs);
            w.automaticStep = 1;
        }
        break;
    default:
        break;
    }
}

}  // namespace iap
