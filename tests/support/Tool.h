#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>

#include "FakeDesktop.h"
#include "platform/ClockTimer.h"
#include "Device.h"
#include "RuntimeDir.h"

namespace iap::test {

// The real window, wired and loaded, with fake dialogs, message boxes and tones, reached the way
// a person or a screen reader reaches it: by its controls' names, e.g. box("读包数"),
// button("写FLASH(1)"). Create it after the virtual device has been announced, so that the
// device is the preselected port.
class Tool {
public:
    explicit Tool(std::unique_ptr<PortSource> ports = nullptr, std::unique_ptr<Clock> clock = nullptr);
    ~Tool();

    QWidget& window() { return *widget; }
    template <typename Control>
    Control* control(const QString& name) const
    {
        auto* found = widget->findChild<Control*>(name);
        Q_ASSERT_X(found, "Tool::control", qPrintable(name));
        return found;
    }
    QPushButton* button(const QString& name) const { return control<QPushButton>(name); }
    QLineEdit* box(const QString& name) const { return control<QLineEdit>(name); }
    ClockTimer* timer(const QString& name) const { return control<ClockTimer>(name); }
    QString text(const QString& boxName) const { return box(boxName)->text(); }
    QString status() const { return control<QPlainTextEdit>(QStringLiteral("Label5"))->toPlainText(); }
    void click(const QString& buttonName) { button(buttonName)->click(); }

    // Types the text into the emptied box key by key, through the key filter.
    void type(const QString& boxName, const QString& text);
    // The four address boxes, two hexadecimal digits each, most significant byte first.
    void setAddress(quint32 address);
    // The enabled operation buttons: "Read", "Write0", "Write1", "IAP", space-separated.
    QString enabledOperations() const;
    // Every text the status box shows from now on, in order.
    const QStringList& statusLog() const { return statuses; }

    FakeDesktop desktop;

private:
    std::unique_ptr<QWidget> widget;
    QStringList statuses;
};

// The virtual device announced in a private runtime folder, the window in front of it with the
// device preselected, and a folder for the test's files.
class Bench {
public:
    // Several times what an operation of a few pages takes on a loaded machine under the
    // sanitizers, and short enough that a fault which stalls a transfer fails its test soon.
    static constexpr int OperationMs = 10000;

    explicit Bench(QStringList deviceOptions = {}) : device(std::move(deviceOptions)) {}

    // Starts the device, then the window; true when the window preselected the device.
    bool start(std::unique_ptr<Clock> clock = nullptr);
    Tool& tool() { return *window; }

    // A file in the test's folder; its path.
    QString file(const QString& name, const QByteArray& contents);
    // "Open APP File" or a slot's "Open Flash File", the dialog answering a new file.
    QString chooseApplication(const QByteArray& image, const QString& name = QStringLiteral("app.bin"));
    QString chooseSlot(int slot, const QByteArray& image);
    // Waits for the status text, bounded by OperationMs; false when it did not come.
    bool waitForStatus(const QString& text, int timeoutMs = OperationMs);
    // The window has the device's port open.
    bool portHeld() const;
    // The port is let go within the bound: the tool's line releases it once its last bytes have
    // left, a moment after the close.
    bool portLetGo(int timeoutMs = 5000) const;

    RuntimeDir runtime;
    QTemporaryDir files;
    VirtualDevice device;
    std::unique_ptr<Tool> window;
};

}  // namespace iap::test
