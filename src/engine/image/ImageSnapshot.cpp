#include "image/ImageSnapshot.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace iap {
namespace {

constexpr char ErasedByte = char(0xFF);

}  // namespace

ImageSnapshot ImageSnapshot::take(const QString& path, int pageBytes)
{
    ImageSnapshot image;
    image.path_ = path;
    image.pageBytes_ = pageBytes;
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return image;
    if (info.size() > AddressSpaceBytes) {
        image.failure_ = Failure::BeyondAddressSpace;
        return image;
    }
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError || contents.size() > AddressSpaceBytes)
        return image;
    const DecodedImage decoded = decodeImage(contents, pageBytes, path);
    image.format_ = decoded.format;
    if (!decoded.refusal.isEmpty()) {
        image.failure_ = Failure::Malformed;
        image.refusal_ = decoded.refusal;
        return image;
    }
    image.bytes_ = decoded.bytes;
    image.address_ = decoded.address;
    image.sha256_ = QCryptographicHash::hash(image.bytes_, QCryptographicHash::Sha256);
    image.failure_ = Failure::None;
    return image;
}

ImageSnapshot ImageSnapshot::made(const QString& name, const QByteArray& bytes, const Address& address, int pageBytes)
{
    ImageSnapshot image;
    image.path_ = name;
    image.pageBytes_ = pageBytes;
    image.bytes_ = bytes;
    image.address_ = address;
    image.sha256_ = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    image.failure_ = Failure::None;
    return image;
}

QByteArray ImageSnapshot::page(std::int64_t p) const
{
    QByteArray bytes(pageBytes_, ErasedByte);
    const std::int64_t start = p * pageBytes_;
    if (p >= 0 && start < bytes_.size()) {
        const auto length = std::min<std::int64_t>(pageBytes_, bytes_.size() - start);
        std::copy_n(bytes_.constData() + start, length, bytes.begin());
    }
    return bytes;
}

}  // namespace iap
