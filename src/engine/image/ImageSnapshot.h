#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

#include "image/DecodedImage.h"
#include "protocol/Page.h"

namespace iap {

// An image file as it was when an operation took it. Every page sent and every sum comes from
// these bytes, so a file replaced or edited while a transfer runs changes nothing of it.
class ImageSnapshot {
public:
    enum class Failure { None, Unreadable, BeyondAddressSpace, Malformed };

    ImageSnapshot() = default;
    // Reads the whole file once for a device with pages of pageBytes; a file larger than a
    // device can address is not read at all. An Intel HEX, S-record or ELF file is taken as the
    // bytes it puts in flash, by its content; a name that gives one of these formats must be
    // borne out by the content.
    static ImageSnapshot take(const QString& path, int pageBytes);
    // Raw bytes the tool made, named `name`, for `address` (never read for a header page).
    static ImageSnapshot made(const QString& name, const QByteArray& bytes, const Address& address, int pageBytes);

    bool isValid() const { return failure_ == Failure::None; }
    Failure failure() const { return failure_; }
    const QString& path() const { return path_; }
    ImageFormat format() const { return format_; }
    // The address the file's own addresses send it to, the start of the page that holds its
    // first byte; none for a raw file.
    const std::optional<Address>& address() const { return address_; }
    std::int64_t size() const { return bytes_.size(); }
    // The device's page, in which the image is sent.
    int pageBytes() const { return pageBytes_; }
    // A raw file's length divided by the page size, rounded down: a whole-file transfer sends
    // pages 0 to this one, so a length that is a multiple of a page gets one erased page more.
    // A file with addresses sends the pages its bytes lie in and no more, so that the page after
    // it, which the file does not name, is not erased.
    std::int32_t lastPageIndex() const
    {
        return std::int32_t(address_ ? (bytes_.size() - 1) / pageBytes_ : bytes_.size() / pageBytes_);
    }
    // Page p; its bytes beyond the end of the file are 0xFF, as in erased flash.
    QByteArray page(std::int64_t p) const;
    QString unreadableText() const { return QStringLiteral("The image file can't be read: ") + path_; }
    // Where in a malformed file and what is wrong, after its path.
    QString malformedText() const { return path_ + QStringLiteral(": ") + refusal_; }
    // What identifies the bytes that went out, for a record of the run.
    QString sha256Hex() const { return QString::fromLatin1(sha256_.toHex()); }

private:
    QString path_;
    QByteArray bytes_;
    QByteArray sha256_;
    ImageFormat format_ = ImageFormat::Raw;
    std::optional<Address> address_;
    QString refusal_;
    // No image has no pages to speak of: one byte keeps their arithmetic defined.
    int pageBytes_ = 1;
    Failure failure_ = Failure::Unreadable;
};

}  // namespace iap
