#include "flash_write/FlashImageFile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "download/ImageLoading.h"
#include "protocol/Replies.h"
#include "window/MainWindow.h"

namespace iap {
namespace {

constexpr int HeaderTestBytes = 21;
constexpr int HeaderAddressOffset = 11;

}  // namespace

void Command1Click(主窗口& w, int index)
{
    w.读Flash->setEnabled(false);
    w.WhenNoTransfer([&w] {
        w.ResetTransfer();
        w.引导程序版本->setText(QStringLiteral("IAP Version:"));
    });

    const QString name = w.platform.fileDialog->ShowOpen(&w, QStringLiteral("All files (*.flash)"));
    if (name.isEmpty())
        return;
    w.FlashImagePath[std::size_t(index)] = name;
    w.Command1[std::size_t(index)]->setText(name);
    w.写FLASH[std::size_t(index)]->setEnabled(true);
}

bool FLASH文件控制(主窗口& w, std::int16_t slot)
{
    if (slot != 1 && slot != 2)
        return false;
    if (!LoadImageFile(w, w.FlashImagePath[std::size_t(slot - 1)]))
        return false;
    const QByteArray head(reinterpret_cast<const char*>(w.PageBuffer.data()), HeaderTestBytes);
    const bool hasHeader = ContainsNoCase(head, "Flash Write");
    w.FirstDataPage = hasHeader ? 1 : 0;
    for (std::size_t k = 0; k < w.目标地址.size(); ++k) {
        if (hasHeader)
            w.目标地址[k]->setText(QString::number(w.PageBuffer[HeaderAddressOffset + k], 16).toUpper());
        w.目标地址[k]->setEnabled(!hasHeader);
    }
    return true;
}

}  // namespace iap
