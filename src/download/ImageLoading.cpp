#include "download/ImageLoading.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <limits>

#include "window/MainWindow.h"
#include "window/TimerControl.h"

namespace iap {
namespace {

constexpr std::uint8_t ErasedByte = 0xFF;

}  // namespace

void cmdLoadClick(主窗口& w)
{
    w.读Flash->setEnabled(false);
    w.WhenNoTransfer([&w] {
        w.ResetTransfer();
        w.VersionShown = false;
    });

    const QString name = w.platform.fileDialog->ShowOpen(&w, QStringLiteral("All files (*.bin)"));
    if (name.isEmpty())
        return;
    Enable(w.Timer1);
    if (!QFileInfo(name).isFile()) {
        w.platform.messageBox->Show(&w, QStringLiteral("File does not exist"), QStringLiteral("File not Found"),
                                    MessageBox::Icon::Exclamation);
        return;
    }
    w.AppImagePath = name;
    w.cmdLoad->setText(name);
    w.开始下载->setEnabled(true);
    w.WhenNoTransfer([&w, name] {
        LoadImageFile(w, name);
        w.读包数->setText(QString::number(w.LastPageIndex));
    });
}

bool LoadImageFile(主窗口& w, const QString& path)
{
    w.ImageFilePath = path;
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    w.ImageFileLength = info.size();
    w.LastPageIndex = std::int32_t(std::min<std::int64_t>(w.ImageFileLength / 主窗口::PageBytes,
                                                          std::numeric_limits<std::int32_t>::max()));
    return ReadPage(w);
}

bool ReadPage(主窗口& w)
{
    QFile file(w.ImageFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (w.PageIndex < 0 || !file.seek(std::int64_t(w.PageIndex) * 主窗口::PageBytes))
        return false;
    std::array<std::uint8_t, 主窗口::PageBytes> page;
    page.fill(ErasedByte);
    const qint64 got = file.read(reinterpret_cast<char*>(page.data()), qint64(page.size()));
    if (got < 0)
        return false;
    w.PageBuffer = page;
    return true;
}

}  // namespace iap
