#include "window/ButtonStates.h"

#include <QPushButton>

#include "window/ConnectionControls.h"
#include "window/MainWindow.h"

namespace iap {

void 按钮控制(主窗口& w, std::int16_t mode)
{
    if (mode == 1) {
        w.读Flash->setEnabled(false);
        w.写FLASH[0]->setEnabled(false);
        w.写FLASH[1]->setEnabled(false);
        w.开始下载->setEnabled(false);
    } else if (mode == 2) {
        w.读Flash->setEnabled(true);
        if (!w.FlashImagePath[0].isEmpty())
            w.写FLASH[0]->setEnabled(true);
        if (!w.FlashImagePath[1].isEmpty())
            w.写FLASH[1]->setEnabled(true);
        if (!w.AppImagePath.isEmpty())
            w.开始下载->setEnabled(true);
        CloseClick(w);
        w.EndTransfer();
    }
}

void 刷新Click(主窗口& w)
{
    按钮控制(w, 2);
}

}  // namespace iap
