#pragma once

#include <array>

#include "device/DeviceProfiles.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace iap {

// The window's controls, children of the window, which owns them. MainWindow.h maps each to
// the name of the window's design, which is its objectName.
struct Controls {
    QWidget* panel = nullptr;
    QComboBox* portList = nullptr;
    QGroupBox* modelFrame = nullptr;
    // A row each of the device table, in its order.
    std::array<QRadioButton*, DeviceProfiles.size()> modelOptions{};
    QPushButton* openButton = nullptr;
    QPushButton* closeButton = nullptr;
    QPushButton* seekPortsButton = nullptr;
    QPushButton* refreshButton = nullptr;
    QLabel* programVersionLabel = nullptr;
    QCheckBox* automaticBox = nullptr;
    QCheckBox* toneBox = nullptr;
    QPushButton* readFlashButton = nullptr;
    QLabel* bootloaderVersionLabel = nullptr;
    QPlainTextEdit* statusBox = nullptr;
    QLabel* addressLabel = nullptr;
    std::array<QLineEdit*, 4> addressBoxes{};
    QLabel* checksumLabel = nullptr;
    QLineEdit* checksumBox = nullptr;
    QLabel* currentPageLabel = nullptr;
    QLineEdit* currentPageBox = nullptr;
    QLabel* endPageLabel = nullptr;
    QLineEdit* endPageBox = nullptr;
    std::array<QPushButton*, 2> openFlashButtons{};
    std::array<QPushButton*, 2> writeFlashButtons{};
    QPushButton* openApplicationButton = nullptr;
    QPushButton* downloadButton = nullptr;
    std::array<QFrame*, 3> separators{};
};

}  // namespace iap
