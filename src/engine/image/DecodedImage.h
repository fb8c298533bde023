#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "protocol/Page.h"

namespace iap {

// How an image file holds its bytes: raw (an application's .bin, a .flash image) or in one of the
// formats toolchains emit, which carry their own addresses.
enum class ImageFormat { Raw, IntelHex, SRecord, Elf };

// An image file's bytes as they go to the device, from the address the file names; or why the
// file cannot be sent.
struct DecodedImage {
    ImageFormat format = ImageFormat::Raw;
    // A raw file's bytes; otherwise the bytes from the file's first byte to its last, which
    // decodeImage starts at the start of that byte's page.
    QByteArray bytes;
    // Where those bytes go; none for a raw file, which goes where it is told.
    std::optional<Address> address;
    // Where in the file and what is wrong ("line 7: …"); empty when the image is good.
    QString refusal;

    static DecodedImage refused(ImageFormat format, const QString& why) { return {format, {}, std::nullopt, why}; }
};

// Tells the format by the file's content and decodes it for a device with pages of pageBytes. A
// file that begins as text of a record format is that format, or refused, never raw bytes; a file
// whose name gives a format (app.hex, boot.s37, fw.elf) must be of that format.
DecodedImage decodeImage(const QByteArray& file, int pageBytes, const QString& fileName = {});

}  // namespace iap
