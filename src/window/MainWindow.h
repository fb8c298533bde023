#pragma once

#include <QWidget>

#include "platform/Platform.h"
#include "platform/TunePlayer.h"
#include "AddressBoxes.h"
#include "AutoSequence.h"
#include "BootloaderLink.h"
#include "Controls.h"
#include "Desktop.h"
#include "FileChoice.h"
#include "OperationDisplay.h"
#include "OperationModel.h"
#include "Operations.h"
#include "PortControls.h"
#include "TransferGate.h"
#include "Verdicts.h"
#include "WindowRules.h"

namespace iap {

// The tool's one window: the controls, the port list, the files chosen and the automatic
// sequence. Each part has a class of its own; the window owns them all and wires the controls'
// events to them. The operation buttons show enabled exactly what the model has armed.
//
// The controls keep the names of the window's design as their objectNames, so that a reader can
// trace each control (a member of Controls) to it:
//
//   design name            identifier                 design name        identifier
//   Picture1(0)            panel                      Label5             statusBox
//   COMID                  portList                   Label3             addressLabel
//   Frame1                 modelFrame                 目标地址(0..3)      addressBoxes
//   波特率(0)               modelOptions[0]            GHHGF              checksumLabel
//   Option1(1)             modelOptions[1]            校验和              checksumBox
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
    Q_OBJECT

public:
    MainWindow(Platform platform, Desktop desktop);
    ~MainWindow() override;

    // Start-up: the version and the port list.
    void load();

protected:
    // Unload: the port is flushed and closed and the program ends; nothing is saved.
    void closeEvent(QCloseEvent* event) override;
    // F2 in the "Current Page" box reveals "Read Flash".
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void showArmed(iap::OperationModel::Operation operation, bool armed);

private:
    void wireConnectionRows();
    void wireOperations();

    Platform platform;
    Desktop desktop;
    TunePlayer tunes;
    Controls controls;
    WindowRules rules;
    OperationModel model;
    TransferGate transfers;
    BootloaderLink link;
    OperationDisplay display;
    PortControls ports;
    AddressBoxes addresses;
    Operations operations;
    AutoSequence automatic;
    Verdicts verdicts;
    FileChoice files;
};

}  // namespace iap
