#include "window/FileChoice.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "session/TimerControl.h"
#include "window/MainWindow.h"

namespace iap {

void cmdLoadClick(主窗口& w)
{
    w.读Flash->setEnabled(false);
    w.WhenNoTransfer([&w] {
        w.ResetTransfer();
        w.session.VersionShown = false;
    });

    const QString name = w.desktop.fileDialog->ShowOpen(&w, QStringLiteral("All files (*.bin)"));
    if (name.isEmpty())
        return;
    Enable(w.session.Timer1);
    if (!QFileInfo(name).isFile()) {
        w.desktop.messageBox->Show(&w, QStringLiteral("File does not exist"), QStringLiteral("File not Found"), MessageBox::Icon::Exclamation);
        return;
    }
    w.AppImagePath = name;
    w.cmdLoad->setText(name);
    w.开始下载->setEnabled(true);
    w.WhenNoTransfer([&w, name] {
        w.session.LastPageIndex = std::int32_t(QFileInfo(name).size() / PageBytes);
        w.读包数->setText(QString::number(w.session.LastPageIndex));
    });
}

void Command1Click(主窗口& w, int index)
{
    w.读Flash->setEnabled(false);
    w.WhenNoTransfer([&w] {
        w.ResetTransfer();
        w.引导程序版本->setText(QStringLiteral("IAP Version:"));
    });

    const QString name = w.desktop.fileDialog->ShowOpen(&w, QStringLiteral("All files (*.flash)"));
    if (name.isEmpty())
        return;
    w.FlashImagePath[std::size_t(index)] = name;
    w.Command1[std::size_t(index)]->setText(name);
    w.写FLASH[std::size_t(index)]->setEnabled(true);
}

}  // namespace iap
