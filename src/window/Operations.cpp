#include "window/Operations.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>

#include "session/Delay.h"
#include "session/TimerControl.h"
#include "window/BoxNumber.h"
#include "window/ButtonStates.h"
#include "window/ConnectionControls.h"
#include "window/HexEntry.h"
#include "window/MainWindow.h"

namespace iap {
namespace {

constexpr double SecondOpenWaitSeconds = Session::CommandToFirstPageSeconds;

void refuse(主窗口& w, const QString& text)
{
    w.desktop.messageBox->Show(&w, text, w.windowTitle(), MessageBox::Icon::None);
}

void errorPath(主窗口& w)
{
    w.写FLASH[0]->setEnabled(true);
    w.写FLASH[1]->setEnabled(true);
}

// Any fault in the write, also in a step that runs after a wait, takes the error path.
void guarded(主窗口& w, const std::function<void()>& steps)
{
    try {
        steps();
    } catch (const std::exception&) {
        errorPath(w);
    }
}

// The command, then the first page half a second later unless the write has been given up by
// then (Refresh, a verdict or another operation).
void announce(主窗口& w, int index)
{
    const ImageSnapshot image = ImageSnapshot::take(w.FlashImagePath[std::size_t(index)]);
    if (!image.isValid()) {
        errorPath(w);
        return;
    }
    w.BeginTransfer();
    const std::uint64_t transfer = w.TransferNumber;
    按钮控制(w, 1);
    w.session.StartFlashWrite(image, [&w](const auto&) { return TargetAddress(w); },
                              [&w, transfer] { return w.TransferRunning && w.TransferNumber == transfer; });
}

void writeSlot(主窗口& w, int index)
{
    w.EndTransfer();
    w.ResetTransfer();
    w.引导程序版本->setText(QStringLiteral("IAP Version:"));
    OpenClick(w);
    if (w.session.serial.PortOpen()) {
        announce(w, index);
        return;
    }
    按钮控制(w, 1);
    // Refresh or another operation within the wait gives this write up.
    const std::uint64_t transfer = w.TransferNumber;
    Delay(*w.platform.clock, SecondOpenWaitSeconds, &w, [&w, index, transfer] {
        if (w.TransferNumber != transfer)
            return;
        guarded(w, [&w, index] {
            Enable(w.session.Timer1);
            SetInterval(w.session.Timer1, Session::TransferPollIntervalMs);
            w.SetStatus(QString());
            w.ListPorts();
            OpenClick(w);
            // Arming the page sender without an open port could only report a write that never happened.
            if (w.session.serial.PortOpen())
                announce(w, index);
        });
    });
}

}  // namespace

void 开始下载Click(主窗口& w)
{
    w.EndTransfer();
    OpenClick(w);
    w.引导程序版本->setText(QStringLiteral("IAP Version:"));
    if (!w.session.serial.PortOpen()) {
        // A device plugged in after start-up is found by a fresh list; its preferred entry is tried.
        w.SetStatus(QString());
        w.ListPorts();
        OpenClick(w);
        if (!w.session.serial.PortOpen())
            return;
    }
    const ImageSnapshot image = ImageSnapshot::take(w.AppImagePath);
    if (!image.isValid()) {
        w.SetStatus(QStringLiteral("The image file can't be read: ") + w.AppImagePath);
        w.开始下载->setEnabled(true);
        return;
    }
    按钮控制(w, 1);
    w.BeginTransfer();
    w.session.StartDownload(image, TargetAddress(w));
}

void 写FLASHClick(主窗口& w, int index)
{
    guarded(w, [&w, index] { writeSlot(w, index); });
}

void 读FlashClick(主窗口& w)
{
    const std::int64_t pages = BoxNumber(w.读包数->text());
    if (pages < 1) {
        refuse(w, QStringLiteral("TotalPages must >=1"));
        return;
    }
    // The store holds 1025 pages; more would be lost or overrun it.
    if (pages > Session::ReadBackPages) {
        refuse(w, QStringLiteral("TotalPages must <=%1").arg(Session::ReadBackPages));
        return;
    }
    w.EndTransfer();
    w.session.PrepareRead();
    w.读Flash->setEnabled(false);
    w.校验和->setText(QStringLiteral("0"));
    OpenClick(w);
    if (!w.session.serial.PortOpen())
        return;
    w.BeginTransfer();
    w.session.RequestPages(TargetAddress(w), int(pages));
}

void 当前包KeyDown(主窗口& w, int key)
{
    if (key == Qt::Key_F2)
        w.读Flash->setVisible(true);
}

void ShowImageAddress(主窗口& w, const QByteArray& headerAddress)
{
    for (std::size_t k = 0; k < w.目标地址.size(); ++k) {
        if (!headerAddress.isEmpty())
            w.目标地址[k]->setText(QString::number(std::uint8_t(headerAddress[qsizetype(k)]), 16).toUpper());
        w.目标地址[k]->setEnabled(headerAddress.isEmpty());
    }
}

void OnVerified(主窗口& w, Session::Operation operation, bool right)
{
    switch (operation) {
    case Session::Operation::FlashWrite:
        if (right) {
            ++w.AutoStep;
            按钮控制(w, 2);
        }
        break;
    case Session::Operation::Download:
        if (right) {
            按钮控制(w, 2);
            w.AutoStep = 1;
            if (w.提示音->checkState() == Qt::Checked)
                w.tunes.Play({{659, 300}, {523, 300}, {587, 300}});
        } else {
            w.AutoStep = 3;
        }
        break;
    case Session::Operation::FlashRead: {
        w.读Flash->setEnabled(true);
        if (!right)
            break;
        // Exactly the pages this read asked for and verified, whatever the box shows by now.
        const int pagesVerified = w.session.PagesRead();
        const QString name = w.desktop.fileDialog->ShowSave(&w, QStringLiteral("*.BIN (*.bin)"));
        if (!name.isEmpty() && !w.session.SaveReadBack(name, pagesVerified))
            w.SetStatus(QStringLiteral("The read-back file can't be written: ") + name);
        break;
    }
    }
    w.EndTransfer();
}

}  // namespace iap
