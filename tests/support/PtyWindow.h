#pragma once

#include <QTemporaryDir>

#include "Pty.h"
#include "TestWindow.h"

namespace iap::test {

// A pseudo-terminal listed as the one port, the window in front of it, and a folder for the
// test's files. The window's timers tick only while the test runs the event loop.
class PtyWindow {
public:
    PtyWindow();

    主窗口& w() { return *tool; }
    主窗口* operator->() { return tool.window.get(); }

    // Opens the port and loads the image, as the start of an operation does.
    bool openWithImage(const QByteArray& image);

    Pty pty;
    FakePortSource* ports = nullptr;
    QTemporaryDir files;
    QString imagePath;
    TestWindow tool;

private:
    std::unique_ptr<FakePortSource> listing();
};

// True when another user of the port is refused: someone holds it.
bool portIsHeld(const Pty& pty);

}  // namespace iap::test
