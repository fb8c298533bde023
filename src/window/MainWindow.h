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
#include "serial/SerialPort.h"

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

// The tool's one window. It owns every control, every piece of operation state and the three
// timers; the handlers in the subsystem folders work on it, and one place wires them up.
class 主窗口 : public QWidget {
public:
    static constexpr int PageBytes = 2048;
    static constexpr int ReadBackPageBytes = 2049;
    static constexpr int ReadBackPages = 1025;
    static constexpr int Timer1InitialIntervalMs = 2;
    static constexpr int Timer2IntervalMs = 1;
    static constexpr int Timer3InitialIntervalMs = 2000;

    explicit 主窗口(Platform platform);
    ~主窗口() override;

    // Start-up: the version, the first step of the automatic sequence and the port list.
    void Load();
    // Choosing an image or starting a write starts the checksum and the page counters afresh.
    void ResetTransfer();
    // A transfer (download, flash write or read) keeps the file, the page counts and the sum it
    // started with to its end: what a file chosen meanwhile would change under it waits until
    // the transfer is over, and then happens as if the choice had been made just then.
    void BeginTransfer();
    void WhenNoTransfer(std::function<void()> change);
    // The verdict, Refresh, or the start of another operation.
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
    QTimer* Timer1;
    QTimer* Timer2;
    QTimer* Timer3;
    QFrame* Line1;
    QFrame* Line2;
    QFrame* Line3;

    // Operation state.
    std::vector<std::uint8_t> ReadBackStore;  // page p, byte i at p * ReadBackPageBytes + i
    std::array<std::uint8_t, PageBytes> PageBuffer{};
    std::int32_t PageIndex = 0;
    std::int32_t LastPageIndex = 0;
    std::int64_t ImageFileLength = 0;
    std::int32_t FirstDataPage = 0;
    QString ImageFilePath;
    bool SendNextPage = false;
    // Summed modulo 2^32 and compared as unsigned, so images of any size neither overflow nor fail.
    std::uint32_t RunningChecksum = 0;
    bool VersionShown = false;
    std::array<QString, 2> FlashImagePath;
    QString AppImagePath;
    std::int32_t AutoStep = 0;
    bool ReadInProgress = false;
    bool TransferRunning = false;
    std::uint64_t TransferNumber = 0;
    std::vector<std::function<void()>> ChangesAfterTransfer;

    // The serial module and the port discovery of the module Module1.
    SerialPort serial;
    PortDiscovery discovery;

    Platform platform;
    TunePlayer tunes{*platform.tone};

    std::uint8_t& ReadBack(int byteIndex, int page) { return ReadBackStore[std::size_t(page) * ReadBackPageBytes + std::size_t(byteIndex)]; }

protected:
    // Unload: the port is flushed and closed and the program ends; nothing is saved.
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace iap
