#include "Tool.h"

#include "Files.h"
#include "Wait.h"

#include <QDir>
#include <QTest>

#include <algorithm>

#include "Assembly.h"
#include "MainWindow.h"

namespace iap::test {

Tool::Tool(std::unique_ptr<PortSource> ports, std::unique_ptr<Clock> clock)
    : widget(createMainWindow(makeTestPlatform(desktop, std::move(ports), std::move(clock)), makeTestDesktop(desktop)))
{
    auto* statusBox = control<QPlainTextEdit>(QStringLiteral("Label5"));
    QObject::connect(statusBox, &QPlainTextEdit::textChanged, widget.get(), [this, statusBox] { statuses << statusBox->toPlainText(); });
}

Tool::~Tool()
{
    // As a person closing the window: the port is let go.
    widget->close();
}

void Tool::type(const QString& boxName, const QString& text)
{
    box(boxName)->clear();
    QTest::keyClicks(box(boxName), text);
}

void Tool::setAddress(quint32 address)
{
    for (int i = 0; i < 4; ++i)
        box(QStringLiteral("目标地址(%1)").arg(i))->setText(QString::asprintf("%02X", (address >> (24 - 8 * i)) & 0xFF));
}

QString Tool::enabledOperations() const
{
    QStringList enabled;
    const std::pair<const char*, const char*> operations[] = {{"读Flash", "Read"}, {"写FLASH(0)", "Write0"}, {"写FLASH(1)", "Write1"}, {"开始下载", "IAP"}};
    for (const auto& [name, shortName] : operations)
        if (button(QString::fromUtf8(name))->isEnabled())
            enabled << QString::fromLatin1(shortName);
    return enabled.join(u' ');
}

bool Bench::start(std::unique_ptr<Clock> clock)
{
    if (!files.isValid() || !device.start())
        return false;
    window = std::make_unique<Tool>(nullptr, std::move(clock));
    return window->control<QComboBox>(QStringLiteral("COMID"))->currentText().startsWith(QFileInfo(device.linkPath()).fileName() + QStringLiteral("  "));
}

QString Bench::file(const QString& name, const QByteArray& contents)
{
    const QString path = files.filePath(name);
    return writeFile(path, contents) ? path : QString();
}

QString Bench::chooseApplication(const QByteArray& image, const QString& name)
{
    const QString path = file(name, image);
    tool().desktop.fileDialog->answers << path;
    tool().click(QStringLiteral("cmdLoad"));
    return path;
}

QString Bench::chooseSlot(int slot, const QByteArray& image)
{
    const QString path = file(QStringLiteral("slot%1.flash").arg(slot), image);
    tool().desktop.fileDialog->answers << path;
    tool().click(QStringLiteral("Command1(%1)").arg(slot));
    return path;
}

bool Bench::waitForStatus(const QString& text, int timeoutMs)
{
    return waitUntil([&] { return tool().status() == text; }, timeoutMs);
}

bool Bench::portLetGo(int timeoutMs) const
{
    return waitUntil([this] { return !portHeld(); }, timeoutMs);
}

bool Bench::portHeld() const
{
    // The window holds the port when a descriptor of this process is open on it. Asked of the
    // path instead, a pseudo-terminal whose device hung up could answer for the next one that
    // took its number.
    const QString path = device.portPath();
    const QFileInfoList descriptors = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::NoDotAndDotDot);
    return std::any_of(descriptors.begin(), descriptors.end(), [&](const QFileInfo& descriptor) { return descriptor.symLinkTarget() == path; });
}

}  // namespace iap::test
