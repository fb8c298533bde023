#pragma once

#include <QString>

#include <optional>

#include "protocol/Page.h"
#include "session/DeviceModel.h"
#include "session/ImageSnapshot.h"

namespace iap {

// What a run does on a port: one operation, or the production round. The images are taken
// before any run starts, so that every port is sent the same bytes.
struct Job {
    static constexpr int DefaultReplyTimeoutSeconds = 5;

    enum class Kind { Download, FlashWrite, FlashRead, Round };

    Kind kind = Kind::Round;
    DeviceModel model = DeviceModel::Hx300;
    // A flash image's header page names its own address, which wins over this one.
    std::optional<Address> address;
    // A download's or a flash write's image.
    ImageSnapshot image;
    // The round's steps; an invalid snapshot is a step passed over.
    ImageSnapshot slot0;
    ImageSnapshot slot1;
    ImageSnapshot application;
    // A read: its pages, and the file they go to once the device's sum agrees.
    int pages = 0;
    QString readBackFile;
    // Each transfer whose sum the device confirmed is read back and compared byte for byte.
    bool verify = false;
    // A device that makes no progress for this long ends the run (0: never).
    int replyTimeoutSeconds = DefaultReplyTimeoutSeconds;
};

}  // namespace iap
