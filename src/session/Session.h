#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "download/ImageSnapshot.h"
#include "protocol/CommandFrame.h"
#include "protocol/Operation.h"
#include "protocol/Page.h"
#include "serial/SerialPort.h"

class QTimer;

namespace iap {

class Clock;

// One port's connection to a device's bootloader and the transfer in progress on it: the serial
// session, the reply dispatcher (Timer1) and the page sender (Timer2), the image being sent,
// the running checksum and the pages read back. It knows no widget: what it shows goes out
// through its signals, and the front end (the window or the command line) puts it on the screen.
// Its steps are written once, each in its own subsystem's folder; the front ends string them
// together. Everything runs on the thread that owns the session.
class Session : public QObject {
    Q_OBJECT

public:
    using Operation = iap::Operation;
    using Address = std::array<std::uint8_t, 4>;
    // What the session waits for from the device as an operation moves on.
    enum class Awaiting { Quiet, EraseReport, VersionReply, Acknowledgement, PageData, ChecksumReply };

    static constexpr int DispatcherStartIntervalMs = 2;
    static constexpr int PageSenderIntervalMs = 1;
    static constexpr int TransferPollIntervalMs = 50;
    static constexpr int ReadPollIntervalMs = 1000;
    static constexpr int ReadBackPages = 1025;
    static constexpr double CommandToFirstPageSeconds = 0.5;
    // Longer than a device's pause between a read's page data and its checksum reply: a line this
    // long silent carries nothing more of an earlier exchange.
    static constexpr int LineQuietMs = 50;

    Session(std::unique_ptr<PortDevice> device, Clock& clock, QObject* parent = nullptr);
    ~Session() override;

    // The port named as the port list shows it (without the ':'), at the settings' rate. Any
    // port open before is closed first; Timer1 runs exactly when the port opened.
    bool Open(const QString& portName, const QString& settings);
    // The written bytes leave, the port is released and Timer1 stops.
    void Close();

    // The image of the transfer: page PageIndex of it into PageBuffer.
    void LoadImage(const ImageSnapshot& image);
    void ReadPage();
    // Copies the frame into the transfer buffer and writes its 19 bytes.
    void SendCommand(const CommandFrame& frame);

    // Each operation starts once the port is open, with a valid image, and sends its command
    // once the line is quiet: whatever the device still sends of an earlier exchange is thrown
    // away first, and the status says so while it lasts.
    // The download: the image's last page index shown as End Page, then the erase command for
    // the pages End Page shows (download/Download.cpp).
    void StartDownload(const ImageSnapshot& image, const Address& address);
    // The flash write: the image's form (a header page's address goes out through
    // AddressFromImage first, so that the front end can show it), End Page, the command for the
    // address the front end chooses given the header's, and half a second after the command the
    // first page, unless by then the port has been closed or reopened or `stillWanted` says no
    // (flash_write/FlashWrite.cpp).
    using AddressChooser = std::function<Address(const std::optional<Address>& header)>;
    void StartFlashWrite(const ImageSnapshot& image, const AddressChooser& address, std::function<bool()> stillWanted);
    // A read begins: the sum starts afresh and the dispatcher polls once a second
    // (flash_read/FlashRead.cpp).
    void PrepareRead();
    // The command for that many pages (at most ReadBackPages) from the address, once the port is
    // open; page data are taken in from the moment it has gone.
    void RequestPages(const Address& address, int pages);
    int PagesRead() const { return int(receivedBytes / PageBytes); }
    // Writes the first `pages` pages read to the file, replacing what was there only once all of
    // it is written (flash_read/ReadBackFile.cpp). False when the file cannot be written; the
    // old file is then untouched.
    bool SaveReadBack(const QString& fileName, int pages) const;

    // What the verdict of a write or a download compares with the pages acknowledged: the
    // numbers that End Page and Current Page show. A front end whose user can edit them answers
    // with what they show; by default they are the numbers the session last showed.
    std::function<std::int64_t()> EndPage;
    std::function<std::int64_t()> CurrentPage;
    void ShowEndPage(std::int64_t page);
    void ShowCurrentPage(const QString& text);

    SerialPort serial;
    QTimer* Timer1;
    QTimer* Timer2;

    // The transfer, named as in the window's design.
    std::array<std::uint8_t, PageBytes> PageBuffer{};
    std::int32_t PageIndex = 0;
    std::int32_t LastPageIndex = 0;
    std::int32_t FirstDataPage = 0;
    ImageSnapshot Image;
    bool SendNextPage = false;
    // Summed modulo 2^32 and compared as unsigned, so images of any size neither overflow nor fail.
    std::uint32_t RunningChecksum = 0;
    bool VersionShown = false;
    // What the replies on this connection can answer: the operation last started on it, none
    // once it is closed or reopened.
    std::optional<Operation> RunningOperation;

    // The chunk of one poll (protocol/ReplyDispatcher.cpp).
    void Handle(const QByteArray& chunk);
    // The Timer2 tick: sends the armed page, or reports the end of the page loop
    // (protocol/PageSender.cpp).
    void SendPage();

signals:
    // The status line.
    void Status(const QString& text);
    // Current Page, Checksum and End Page as they are to show; the bootloader's version caption.
    void CurrentPageShown(const QString& text);
    void ChecksumShown(const QString& text);
    void EndPageShown(const QString& text);
    void VersionCaption(const QString& caption);
    // A flash image's form: the four address bytes of its header page, or none for a plain image.
    void AddressFromImage(const QByteArray& headerAddress);
    // Each step of progress (the command sent, a page sent, page data taken in, all pages sent
    // or read) and what the session waits for from then on; `page` is the page whose
    // acknowledgement is awaited.
    void Awaits(iap::Session::Awaiting what, int page);
    // A page was acknowledged; page data came in (for progress).
    void PageAcknowledged(int index);
    void ReadProgress(int pagesRead);
    // The device's sum has been compared: the operation has ended right or wrong.
    void Verified(iap::Session::Operation operation, bool right);
    // Any bytes came from the device.
    void Received();

private:
    // protocol/ReplyDispatcher.cpp
    void Tick();
    void Dispatch(const QByteArray& chunk);
    bool ChecksumHolds(const QByteArray& chunk) const;
    void AcknowledgePage();
    // flash_read/FlashRead.cpp
    bool ExpectsReadData() const { return receivedBytes < expectedBytes; }
    QByteArray TakeReadData(const QByteArray& chunk);
    void ReadCompletion(const QByteArray& chunk);

    // flash_write/FlashWrite.cpp
    void ArmFirstPageAfterWait(std::function<bool()> stillWanted);

    // The command of the operation starting, sent once the line is quiet; then `sent` runs.
    struct PendingCommand {
        CommandFrame frame;
        std::function<void()> sent;
    };
    void SendWhenQuiet(const CommandFrame& frame, std::function<void()> sent);
    void OnQuiet();
    // No page goes out any more and nothing is awaited on this connection.
    void Forget();
    // Timer1 runs again once the poll or the wait it rested for has ended.
    void ResumeTicks();

    Clock& clock;
    // Timer1 was stopped by a tick that found a poll outstanding.
    bool restingForPoll = false;
    std::optional<PendingCommand> pendingCommand;
    std::int64_t shownEndPage = 0;
    std::int64_t shownCurrentPage = 0;
    // The poll started after a read's last page data, on this connection, brings the read's end;
    // bytes after the data too short to be that end wait for it (a poll boundary cut them).
    std::optional<quint64> readEndPolled;
    QByteArray readEndStart;
    std::int64_t expectedBytes = 0;
    std::int64_t receivedBytes = 0;
    // Page p, byte i at p * PageBytes + i; lives as long as the session and is never cleared.
    std::vector<std::uint8_t> ReadBackStore;
};

}  // namespace iap
