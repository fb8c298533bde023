#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "FakePlatform.h"
#include "window/MainWindow.h"

namespace iap::test {

// The real window, wired and loaded, with fakes for the dialogs, message boxes and tones and
// the system's own serial interface. Create it after the virtual device has been announced,
// so that the device is the preselected port.
class TestWindow {
public:
    explicit TestWindow(std::unique_ptr<PortSource> portSource = nullptr, std::unique_ptr<Clock> clock = nullptr);
    ~TestWindow();

    主窗口& operator*() { return *window; }
    主窗口* operator->() { return window.get(); }

    FakeDesktop desktop;
    std::unique_ptr<主窗口> window;
};

}  // namespace iap::test
