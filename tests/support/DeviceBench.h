#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

namespace iap::test {

// The virtual device announced in a private runtime folder, the real window in front of it with
// the device preselected, and a folder for the test's files.
class DeviceBench {
public:
    // Long enough for any operation of a few pages on a loaded machine under the sanitizers.
    static constexpr int OperationTimeoutMs = 30000;

    explicit DeviceBench(QStringList deviceOptions = {}) : device(std::move(deviceOptions)) {}

    // Starts the device, then the window; true when the window preselected the device.
    bool start();

    主窗口& w() { return **tool; }
    FakeDesktop& desktop() { return tool->desktop; }
    // A file in the test's folder: its path, or empty when it cannot be written.
    QString file(const QString& name, const QByteArray& contents);
    // "Open APP File" and a slot's "Open Flash File" with the dialog answering a new file.
    QString chooseApplication(const QByteArray& image);
    QString chooseSlot(int slot, const QByteArray& image);

    PrivateRuntimeDir runtime;
    QTemporaryDir files;
    VirtualDevice device;
    std::unique_ptr<TestWindow> tool;
};

}  // namespace iap::test
