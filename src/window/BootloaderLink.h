#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

#include "production/PortSession.h"
#include "protocol/OperationKind.h"
#include "protocol/Page.h"

namespace iap {

class Clock;
class ImageSnapshot;
class WindowRules;

// The device's bootloader as the window drives it: the one place where the window calls the
// engine. Each operation is a job made by the job checks under the window's rules and run by the
// same port session as the command line's and the station's, on the port the window holds.
class BootloaderLink : public QObject {
    Q_OBJECT

public:
    // A child of the window, as its session and connection are: whoever looks into the window
    // finds them there.
    BootloaderLink(Clock& clock, const WindowRules& rules, QObject* parent);

    // Closes whatever was open, then opens the port for the device; whether it opened. The
    // operations started after run on it, for that device.
    bool open(const QString& portPath, const DeviceProfile& device);
    // Flushes and closes the port.
    void close();
    bool isOpen();

    void startDownload(const ImageSnapshot& image, const Address& address);
    void startFlashWrite(const ImageSnapshot& image, const Address& address);
    void startFlashRead(const Address& address, int pages);
    // Writes the pages read to the file; false when it cannot be written.
    bool saveRead(const QString& fileName);
    static QString unwritableText(const QString& fileName) { return FlashRead::unwritableText(fileName); }
    // A new application image was chosen: the bootloader's version counts as not announced until
    // it comes again (a transfer's end is told as a download's).
    void forgetVersion();

signals:
    void status(const QString& text);
    void currentPageShown(std::int64_t page);
    void currentPageCleared();
    void endPageShown(std::int64_t page);
    void checksumShown(const QString& sum);
    void versionShown(const QString& caption);
    // A flash image's header page or a file's own addresses; none for a plain image.
    void flashImageAddress(const std::optional<iap::Address>& ownAddress);
    // An application file's own addresses.
    void applicationAddress(const iap::Address& ownAddress);
    // The device's verdict on an operation; a run the device gave none (a port lost) has none.
    void finished(iap::OperationKind operation, bool right);

private:
    void startTransfer(const ImageSnapshot& image, OperationKind kind, const Address& address);
    // A job on the port held, as the window has always run it: no time-out, no verify.
    Job jobOnPort(const Address& address) const;

    // The window keeps no journal: the record is made and let go.
    PortSession session;
    QString portPath;
    DeviceProfile model = DefaultDevice;
};

}  // namespace iap
