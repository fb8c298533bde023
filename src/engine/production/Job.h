#pragma once

#include <QString>

#include <optional>

#include "device/DeviceProfiles.h"
#include "protocol/Page.h"
#include "session/TransferPlan.h"
#include "unique/UniquePage.h"

namespace iap {

// What a run does on a port: one operation, or the production round. Only the job checks make
// one: the images are taken and planned before any run starts, so that every port is sent the
// same bytes.
struct Job {
    static constexpr int DefaultReplyTimeoutSeconds = 5;

    enum class Kind { Download, FlashWrite, FlashRead, Round };

    Kind kind = Kind::Round;
    DeviceProfile model = DefaultDevice;
    // A read's address, and the round's for its images without one of their own.
    std::optional<Address> address;
    // A download's or a flash write's transfer.
    std::optional<TransferPlan> transfer;
    // The round's steps; none is a step passed over.
    std::optional<TransferPlan> slot0;
    std::optional<TransferPlan> slot1;
    std::optional<TransferPlan> application;
    // A read: its pages, and the file they go to once the device's sum agrees (none: the caller
    // saves them, as the window does once its user has named a file).
    int pages = 0;
    QString readBackFile;
    // The round's last step: a page of values of this board's own, and the code scanned for the
    // board, which the page may carry and the board's record keeps.
    std::optional<UniquePage> unique;
    QString barcode;
    // Each board needs a code scanned for it before its round starts; a code a board has passed
    // with is refused for another one, unless repeats are allowed.
    bool barcodeRequired = false;
    bool repeatBarcodes = false;
    // Each transfer whose sum the device confirmed is read back and compared byte for byte.
    bool verify = false;
    // A device that makes no progress for this long ends the run (0: never).
    int replyTimeoutSeconds = DefaultReplyTimeoutSeconds;
    // A station's round: the job file it was loaded from, as named, and the SHA-256 of the file's
    // bytes, for its records; empty when the job came from no file.
    QString jobFile;
    QString jobSha256;
};

}  // namespace iap
