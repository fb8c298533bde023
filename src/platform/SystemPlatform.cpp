#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/Platform.h"
#include "platform/SystemTone.h"

namespace iap {
namespace {

class QtFileDialog final : public FileDialog {
public:
    QString ShowOpen(QWidget* parent, const QString& filter) override
    {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    }
    // QFileDialog asks before it replaces an existing file.
    QString ShowSave(QWidget* parent, const QString& filter) override
    {
        return QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
    }
};

class QtMessageBox final : public MessageBox {
public:
    void Show(QWidget* parent, const QString& text, const QString& title, Icon icon) override
    {
        QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, title, text,
                        QMessageBox::Ok, parent);
        box.exec();
    }
};

class MonotonicClock final : public Clock {
public:
    MonotonicClock() { started.start(); }
    std::int64_t NowMs() override { return started.elapsed(); }

private:
    QElapsedTimer started;
};

}  // namespace

Platform makeSystemPlatform()
{
    Platform platform;
    platform.portDevice = makeSystemPortDevice();
    platform.portSource = makeSystemPortSource();
    platform.fileDialog = std::make_unique<QtFileDialog>();
    platform.messageBox = std::make_unique<QtMessageBox>();
    platform.tone = makeSystemTone();
    platform.clock = std::make_unique<MonotonicClock>();
    return platform;
}

}  // namespace iap
