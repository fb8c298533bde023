#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Platform.h"
#include "platform/TunePlayer.h"
#include "production/BootloaderClient.h"
#include "production/ProductionRound.h"
#include "serial/PortDiscovery.h"
#include "Desktop.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace iap {

// The tool's one window: every control, the port list, the images chosen and the automatic
// sequence. The bootloader on the chosen port (a child of the window) runs the operations and
// tells the window what to show; the handlers in this folder work on both, and one place wires
// them up.
//
// The controls keep the names of the window's design as their objectNames, so that a reader can
// trace each control to it:
//
//   design name            identifier                 design name        identifier
//   Picture1(0)            panel                      Label5             statusBox
//   COMID                  portList                   Label3             addressLabel
//   Frame1                 modelFrame                 目标地址(0..3)      addressBoxes
//   波特率(0)               hx300Option                GHHGF              checksumLabel
//   Option1(1)             vr200Option                校验和              checksumBox
//   打开串口                openButton                 Label1             currentPageLabel
//   关闭串口                closeButton                当前包              currentPageBox
//   刷新串口                seekPortsButton            Label2             endPageLabel
//   刷新                    refreshButton              读包数              endPageBox
//   Label4                 programVersionLabel        Command1(0..1)     openFlashButtons
//   Check1                 automaticBox               写FLASH(0..1)      writeFlashButtons
//   提示音                  toneBox                    cmdLoad            openApplicationButton
//   读Flash                readFlashButton            开始下载            downloadButton
//   引导程序版本             bootloaderVersionLabel     Line1, Line2, Line3  separators
class MainWindow : public QWidget {
public:
    // The port list's items hold the path that opens their port as their data, and its name in this role.
    static constexpr int PortNameRole = Qt::UserRole + 1;

    MainWindow(Platform platform, Desktop desktop);
    ~MainWindow() override;

    // Start-up: the version and the port list.
    void load();
    // Refills the port list with a fresh enumeration and selects its item 0.
    void listPorts();
    // Choosing an image or starting a write starts the checksum and the page counts afresh.
    void resetTransferBoxes();
    // A transfer (download, flash write or read) keeps the file, the page counts and the sum it
    // started with to its end: what a file chosen meanwhile would change under it waits until
    // the transfer is over, and then happens as if the choice had been made just then.
    void beginTransfer();
    void whenNoTransfer(std::function<void()> change);
    // The verdict, Refresh, or the start of another operation. Every transfer begun or ended
    // counts in transferNumber, so that a step waiting for its time can tell it is still wanted.
    void endTransfer();
    void setStatus(const QString& text);

    QWidget* panel;
    QComboBox* portList;
    QGroupBox* modelFrame;
    QRadioButton* hx300Option;
    QRadioButton* vr200Option;
    QPushButton* openButton;
    QPushButton* closeButton;
    QPushButton* seekPortsButton;
    QPushButton* refreshButton;
    QLabel* programVersionLabel;
    QCheckBox* automaticBox;
    QCheckBox* toneBox;
    QPushButton* readFlashButton;
    QLabel* bootloaderVersionLabel;
    QPlainTextEdit* statusBox;
    QLabel* addressLabel;
    std::array<QLineEdit*, 4> addressBoxes;
    QLabel* checksumLabel;
    QLineEdit* checksumBox;
    QLabel* currentPageLabel;
    QLineEdit* currentPageBox;
    QLabel* endPageLabel;
    QLineEdit* endPageBox;
    std::array<QPushButton*, 2> openFlashButtons;
    std::array<QPushButton*, 2> writeFlashButtons;
    QPushButton* openApplicationButton;
    QPushButton* downloadButton;
    std::array<QFrame*, 3> separators;

    std::array<QString, 2> flashImagePaths;
    QString applicationPath;
    // The address boxes were locked by an application's own addresses, not by a flash image.
    bool addressFromApplication = false;
    bool transferRunning = false;
    std::uint64_t transferNumber = 0;
    std::vector<std::function<void()>> changesAfterTransfer;

    Platform platform;
    Desktop desktop;
    PortDiscovery discovery;
    TunePlayer tunes;
    BootloaderClient& bootloader;
    // The automatic sequence ("ATUO"): production rounds, one device after another.
    std::unique_ptr<ProductionRound::Runner> roundSteps;
    ProductionRound& round;

protected:
    // Unload: the port is flushed and closed and the program ends; nothing is saved.
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace iap
