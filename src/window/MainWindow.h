#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Platform.h"
#include "platform/TunePlayer.h"
#include "serial/PortDiscovery.h"
#include "session/Session.h"
#include "window/Desktop.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace iap {

// The tool's one window: every control, the port list, the images chosen and the automatic
// sequence. The port's session (a child of the window) holds the transfer in progress and tells
// the window what to show; the handlers in this folder work on both, and one place wires them up.
class 主窗口 : public QWidget {
public:
    static constexpr int Timer3InitialIntervalMs = 2000;

    主窗口(Platform platform, Desktop desktop);
    ~主窗口() override;

    // Start-up: the version, the first step of the automatic sequence and the port list.
    void Load();
    // Refills the port list with a fresh enumeration and selects its item 0.
    void ListPorts();
    // Choosing an image or starting a write starts the checksum and the page counters afresh.
    void ResetTransfer();
    // A transfer (download, flash write or read) keeps the file, the page counts and the sum it
    // started with to its end: what a file chosen meanwhile would change under it waits until
    // the transfer is over, and then happens as if the choice had been made just then.
    void BeginTransfer();
    void WhenNoTransfer(std::function<void()> change);
    // The verdict, Refresh, or the start of another operation. Every transfer begun or ended
    // counts in TransferNumber, so that a step waiting for its time can tell it is still wanted.
    void EndTransfer();
    // The status box.
    void SetStatus(const QString& text);
    QString Status() const;

    // Controls, named as in the window's design.
    QWidget* Picture1;
    QComboBox* COMID;
    QGroupBox* Frame1;
    QRadioButton* 波特率;   // the HX300 option, index 0 of its control array
    QRadioButton* Option1;  // the VR200 option, index 1
    QPushButton* 打开串口;
    QPushButton* 关闭串口;
    QPushButton* 刷新串口;
    QPushButton* 刷新;
    QLabel* Label4;
    QCheckBox* Check1;
    QCheckBox* 提示音;
    QPushButton* 读Flash;
    QLabel* 引导程序版本;
    QPlainTextEdit* Label5;
    QLabel* Label3;
    std::array<QLineEdit*, 4> 目标地址;
    QLabel* GHHGF;
    QLineEdit* 校验和;
    QLabel* Label1;
    QLineEdit* 当前包;
    QLabel* Label2;
    QLineEdit* 读包数;
    std::array<QPushButton*, 2> Command1;
    std::array<QPushButton*, 2> 写FLASH;
    QPushButton* cmdLoad;
    QPushButton* 开始下载;
    QTimer* Timer3;
    QFrame* Line1;
    QFrame* Line2;
    QFrame* Line3;

    std::array<QString, 2> FlashImagePath;
    QString AppImagePath;
    std::int32_t AutoStep = 0;
    bool TransferRunning = false;
    std::uint64_t TransferNumber = 0;
    std::vector<std::function<void()>> ChangesAfterTransfer;

    Platform platform;
    Desktop desktop;
    PortDiscovery discovery;
    TunePlayer tunes;
    // The port and the transfer on it; Timer1 (the reply dispatcher) and Timer2 (the page
    // sender) are its own.
    Session& session;

protected:
    // Unload: the port is flushed and closed and the program ends; nothing is saved.
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace iap
