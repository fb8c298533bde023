// Arbitrary device replies against the reply recognition and against the reply dispatcher and the
// page sender of a real window, in any state a transfer can leave them in. The chunks go straight
// to the dispatcher as if a poll had brought them; the window's port is a stand-in that takes
// every write, so no serial line is involved.
//
// Input: a state header, then records of one action byte, a 16-bit length and that many bytes.
#include <QApplication>
#include <QByteArray>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>

#include "protocol/Replies.h"
#include "window/Assembly.h"
#include "window/MainWindow.h"
#include "window/Operations.h"

namespace {

constexpr int PageBytes = 2048;
constexpr int ImageBytes = 2 * PageBytes + 952;
constexpr int StateHeaderBytes = 12;
constexpr int RecordHeaderBytes = 3;
constexpr std::size_t MaxChunkBytes = 4096;
constexpr int MaxVersionCharacters = 20;

// A port that is always there and never receives anything of its own.
class StandInPort final : public iap::PortDevice {
public:
    bool open(const std::string&) override { return true; }
    bool setTimeouts(const iap::CommTimeouts&) override { return true; }
    bool buildLineSettings(const std::string&) override { return true; }
    bool applyLineSettings() override { return true; }
    int read(std::uint8_t*, int) override { return 0; }
    void cancelRead() override {}
    int write(const std::uint8_t*, int byteCount) override { return byteCount; }
    bool flush() override { return true; }
    bool close() override { return true; }
};

class NoPorts final : public iap::PortSource {
public:
    std::vector<iap::PortValue> values() override { return {}; }
    iap::PortNameRules nameRules() const override { return iap::PortNameRules::Verbatim; }
};

class NoDialog final : public iap::FileDialog {
public:
    QString ShowOpen(QWidget*, const QString&) override { return {}; }
    QString ShowSave(QWidget*, const QString&) override { return {}; }
};

class NoMessage final : public iap::MessageBox {
public:
    void Show(QWidget*, const QString&, const QString&, Icon) override {}
};

class Silence final : public iap::Tone {
public:
    void Beep(int, int) override {}
};

class StoppedClock final : public iap::Clock {
public:
    std::int64_t NowMs() override { return 0; }
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

const std::optional<iap::Operation> Operations[] = {std::nullopt, iap::Operation::Download, iap::Operation::FlashWrite, iap::Operation::FlashRead};

// The pure rules, checked against what they promise for any chunk: the first test in order that
// holds among those the operation can receive wins.
void checkRecognition(const QByteArray& chunk)
{
    using iap::Operation;
    using iap::Reply;
    const QByteArray lower = chunk.toLower();
    for (const std::optional<Operation> running : Operations) {
        for (const bool versionShown : {false, true}) {
            const bool transfer = running == Operation::Download || running == Operation::FlashWrite;
            Reply expected = transfer ? Reply::Acknowledgements : Reply::Unexpected;
            if (running == Operation::FlashRead && lower.contains("checksumr"))
                expected = Reply::ChecksumRead;
            else if (running == Operation::FlashWrite && lower.contains("checksumw"))
                expected = Reply::ChecksumWrite;
            else if (running == Operation::Download && lower.contains("checksumi"))
                expected = Reply::ChecksumDownload;
            else if (running == Operation::Download && lower.contains("ok"))
                expected = Reply::EraseDone;
            else if (transfer && !versionShown && lower.contains("write"))
                expected = Reply::Version;
            require(iap::Recognise(chunk, running, versionShown) == expected);
        }
    }
    const std::optional<std::uint32_t> sum = iap::DeviceSum(chunk);
    require(sum.has_value() == (chunk.size() >= iap::ChecksumReplyBytes));
    require(iap::VersionText(chunk).size() <= MaxVersionCharacters);
    if (sum) {
        const QString shown = iap::ChecksumDisplay(*sum);
        require(shown.size() >= 4 && shown.size() <= 8 && shown == shown.toUpper());
    }
}

std::int32_t signed16(const std::uint8_t* bytes)
{
    return std::int16_t(std::uint16_t(bytes[0] << 8 | bytes[1]));
}

void driveWindow(const std::uint8_t* data, std::size_t size)
{
    iap::Platform platform;
    platform.portDevice = std::make_unique<StandInPort>();
    platform.portSource = std::make_unique<NoPorts>();
    platform.tone = std::make_unique<Silence>();
    platform.clock = std::make_unique<StoppedClock>();
    auto window = iap::CreateMainWindow(std::move(platform), iap::Desktop{std::make_unique<NoDialog>(), std::make_unique<NoMessage>()});
    iap::主窗口& w = *window;
    iap::Session& s = w.session;

    const std::uint8_t flags = data[0];
    w.提示音->setChecked(flags & 0x04);
    const QString image = flags & 0x10 ? fixture->imagePath : fixture->directory.filePath(QStringLiteral("missing.bin"));
    s.LoadImage(iap::ImageSnapshot::take(image));
    w.AppImagePath = image;
    w.读包数->setText(QString::number(signed16(data + 9) % 1100));
    if (flags & 0x08)
        iap::读FlashClick(w);
    else
        s.Open(QStringLiteral("fuzz"), QStringLiteral("115200,n,8,1"));
    s.VersionShown = flags & 0x01;
    int operation = (flags >> 1 & 1) | (flags >> 5 & 2);
    s.RunningOperation = Operations[operation];
    s.SendNextPage = flags & 0x20;
    s.PageIndex = signed16(data + 1);
    s.LastPageIndex = signed16(data + 3);
    s.RunningChecksum = std::uint32_t(data[5]) << 24 | std::uint32_t(data[6]) << 16 | std::uint32_t(data[7]) << 8 | data[8];
    w.当前包->setText(QString::number(signed16(data + 10)));

    std::size_t at = StateHeaderBytes;
    while (at + RecordHeaderBytes <= size) {
        const std::uint8_t action = data[at];
        const std::size_t length = std::min<std::size_t>((std::size_t(data[at + 1]) << 8 | data[at + 2]) % (MaxChunkBytes + 1),
                                                         size - at - RecordHeaderBytes);
        const QByteArray chunk(reinterpret_cast<const char*>(data + at + RecordHeaderBytes), qsizetype(length));
        at += RecordHeaderBytes + length;
        checkRecognition(chunk);
        // A verified transfer closes the port; an operation that follows opens it again.
        if ((action & 0x04) && !s.serial.PortOpen())
            s.Open(QStringLiteral("fuzz"), QStringLiteral("115200,n,8,1"));
        if (action & 0x08)
            s.RunningOperation = Operations[++operation % std::size(Operations)];
        switch (action & 0x03) {
        case 0:
            s.Handle(chunk);
            break;
        case 1:
            s.SendPage();
            break;
        case 2:
            s.Handle(chunk);
            s.SendPage();
            break;
        default:
            s.SendNextPage = true;
            s.SendPage();
            break;
        }
    }
    QCoreApplication::sendPostedEvents();
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
