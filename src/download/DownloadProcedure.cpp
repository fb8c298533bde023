#include "download/DownloadProcedure.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "download/ImageLoading.h"
#include "flash_write/HexEntry.h"
#include "protocol/CommandFrame.h"
#include "window/BoxNumber.h"
#include "window/ButtonStates.h"
#include "window/ConnectionControls.h"
#include "window/MainWindow.h"

namespace iap {

void 开始下载Click(主窗口& w)
{
    w.EndTransfer();
    w.ReadInProgress = false;
    OpenClick(w);
    w.引导程序版本->setText(QStringLiteral("IAP Version:"));
    if (!w.serial.PortOpen()) {
        // A device plugged in after start-up is found by a fresh list; its preferred entry is tried.
        w.SetStatus(QString());
        w.discovery.ListPorts(*w.COMID);
        OpenClick(w);
        if (!w.serial.PortOpen())
            return;
    }
    if (!LoadImageFile(w, w.AppImagePath)) {
        w.SetStatus(QStringLiteral("The image file can't be read: ") + w.AppImagePath);
        w.开始下载->setEnabled(true);
        return;
    }
    w.读包数->setText(QString::number(w.LastPageIndex));
    按钮控制(w, 1);
    w.BeginTransfer();
    SendCommand(w.serial, MakeCommandFrame(EraseKeyword, TargetAddress(w), BoxNumber(w.读包数->text())));
}

}  // namespace iap
