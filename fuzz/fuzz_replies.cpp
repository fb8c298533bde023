// Arbitrary device replies against the reply recognition and against the operations of a real
// window, in any state a transfer can leave them in. The window starts its operations as a person
// does; the chunks go to the running operation as if a poll had brought them, and the page sender
// gets its turns between them. The window's port is a pseudo-terminal whose other end nobody
// reads or writes.
//
// Input: a state header, then records of one action byte, a 16-bit length and that many bytes.
#include <QApplication>
#include <QByteArray>
#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include "device/DeviceProfiles.h"
#include "production/BootloaderClient.h"
#include "protocol/ReplyRecognition.h"
#include "Assembly.h"
#include "MainWindow.h"

namespace {

constexpr int ImageBytes = 2 * iap::DefaultDevice.pageBytes + 952;
constexpr int StateHeaderBytes = 4;
constexpr int RecordHeaderBytes = 3;
constexpr std::size_t MaxChunkBytes = 4096;
constexpr int MaxVersionCharacters = 20;
// Long enough for the page sender's timer and the line's quiet wait to come round.
constexpr int TurnMs = 2;

// A pseudo-terminal, listed as the one port there is.
class OnePort final : public iap::PortSource {
public:
    OnePort() : controller(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK))
    {
        if (controller < 0 || grantpt(controller) != 0 || unlockpt(controller) != 0)
            std::abort();
        name = QString::fromLocal8Bit(ptsname(controller));
    }
    ~OnePort() override { ::close(controller); }
    std::vector<iap::PortInfo> ports() override { return {iap::PortInfo(name, name)}; }

private:
    int controller;
    QString name;
};

// Every open dialog chooses the fixture's image; no save dialog chooses a file.
class FixtureDialog final : public iap::FileDialog {
public:
    explicit FixtureDialog(QString path) : path(std::move(path)) {}
    QString showOpen(QWidget*, const QString&) override { return path; }
    QString showSave(QWidget*, const QString&) override { return {}; }

private:
    QString path;
};

class NoMessage final : public iap::MessageBox {
public:
    void show(QWidget*, const QString&, const QString&, Icon) override {}
};

class Silence final : public iap::Tone {
public:
    void beep(int, int) override {}
};

struct Fixture {
    Fixture()
    {
        QFile file(directory.filePath(QStringLiteral("app.bin")));
        QByteArray image(ImageBytes, Qt::Uninitialized);
        for (int i = 0; i < ImageBytes; ++i)
            image[i] = char((i * 7 + i / 256) & 0xFF);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
            std::abort();
        imagePath = file.fileName();
    }

    QTemporaryDir directory;
    QString imagePath;
};

Fixture* fixture = nullptr;

void require(bool holds)
{
    if (!holds)
        std::abort();
}

// The pure rules, checked against what they promise for any chunk: the first test in order that
// holds among those the operation can receive wins.
void checkRecognition(const QByteArray& chunk)
{
    using iap::OperationKind;
    using iap::Reply;
    const QByteArray lower = chunk.toLower();
    for (const OperationKind running : {OperationKind::Download, OperationKind::FlashWrite, OperationKind::FlashRead}) {
        for (const bool versionShown : {false, true}) {
            const bool transfer = running != OperationKind::FlashRead;
            Reply expected = transfer ? Reply::Acknowledgements : Reply::Unexpected;
            if (running == OperationKind::FlashRead && lower.contains("checksumr"))
                expected = Reply::ChecksumRead;
            else if (running == OperationKind::FlashWrite && lower.contains("checksumw"))
                expected = Reply::ChecksumWrite;
            else if (running == OperationKind::Download && lower.contains("checksumi"))
                expected = Reply::ChecksumDownload;
            else if (running == OperationKind::Download && lower.contains("ok"))
                expected = Reply::EraseDone;
            else if (transfer && !versionShown && lower.contains("write"))
                expected = Reply::Version;
            iap::ReplyRecognition recognition;
            recognition.setVersionShown(versionShown);
            require(recognition.recognise(chunk, running) == expected);
        }
    }
    const std::optional<std::uint32_t> sum = iap::deviceSum(chunk);
    require(sum.has_value() == (chunk.size() >= iap::ChecksumReplyBytes));
    require(iap::versionText(chunk).size() <= MaxVersionCharacters);
    if (sum) {
        const QString shown = iap::checksumDisplay(*sum);
        require(shown.size() >= 4 && shown.size() <= 8 && shown == shown.toUpper());
    }
}

void turn()
{
    QEventLoop loop;
    QTimer::singleShot(TurnMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename Control>
Control& control(QWidget& window, const char* name)
{
    auto* found = window.findChild<Control*>(QString::fromUtf8(name));
    require(found != nullptr);
    return *found;
}

// Pressed whatever its state, as the button's handler runs: an operation may start over any other.
void press(QWidget& window, const char* name)
{
    auto& button = control<QPushButton>(window, name);
    button.setEnabled(true);
    button.click();
}

// Starts an operation; the one the chunks go to from now on.
iap::Exchange& start(QWidget& window, std::uint8_t which)
{
    iap::BootloaderClient& device = *window.findChild<iap::BootloaderClient*>();
    switch (which % 4) {
    case 0:
        press(window, "开始下载");
        return device.download();
    case 1:
        press(window, which / 4 % 2 == 0 ? "写FLASH(0)" : "写FLASH(1)");
        return device.flashWrite();
    case 2:
        press(window, "读Flash");
        return device.flashRead();
    default:
        press(window, "刷新");
        return device.download();
    }
}

void driveWindow(const std::uint8_t* data, std::size_t size)
{
    iap::Platform platform(std::make_unique<OnePort>(), std::make_unique<Silence>(), iap::makeSystemClock());
    auto window = iap::createMainWindow(std::move(platform),
                                        iap::Desktop{std::make_unique<FixtureDialog>(fixture->imagePath), std::make_unique<NoMessage>()});
    QWidget& w = *window;

    const std::uint8_t flags = data[0];
    control<QCheckBox>(w, "提示音").setChecked(flags & 0x01);
    for (const char* chooser : {"cmdLoad", "Command1(0)", "Command1(1)"})
        press(w, chooser);
    control<QLineEdit>(w, "读包数").setText(QString::number(data[1] % 8));
    iap::Exchange* running = &start(w, data[2]);
    turn();

    std::size_t at = StateHeaderBytes;
    while (at + RecordHeaderBytes <= size) {
        const std::uint8_t action = data[at];
        const std::size_t length = std::min<std::size_t>((std::size_t(data[at + 1]) << 8 | data[at + 2]) % (MaxChunkBytes + 1),
                                                         size - at - RecordHeaderBytes);
        const QByteArray chunk(reinterpret_cast<const char*>(data + at + RecordHeaderBytes), qsizetype(length));
        at += RecordHeaderBytes + length;
        checkRecognition(chunk);
        switch (action & 0x03) {
        case 0:
            running->take(chunk);
            break;
        case 1:
            turn();
            break;
        case 2:
            running->take(chunk);
            turn();
            break;
        default:
            running = &start(w, action >> 2);
            turn();
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    fixture = new Fixture;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < StateHeaderBytes)
        return 0;
    driveWindow(data, size);
    return 0;
}
