// The image-file loader and page reader that every transfer reads its pages through.
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

#include "session/Session.h"

namespace iap {
namespace {

constexpr std::uint8_t ErasedByte = 0xFF;

}  // namespace

bool Session::LoadImageFile(const QString& path)
{
    ImageFilePath = path;
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    ImageFileLength = info.size();
    LastPageIndex = std::int32_t(std::min<std::int64_t>(ImageFileLength / PageBytes, std::numeric_limits<std::int32_t>::max()));
    return ReadPage();
}

bool Session::ReadPage()
{
    QFile file(ImageFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (PageIndex < 0 || !file.seek(std::int64_t(PageIndex) * PageBytes))
        return false;
    std::array<std::uint8_t, PageBytes> page;
    page.fill(ErasedByte);
    if (file.read(reinterpret_cast<char*>(page.data()), qint64(page.size())) < 0)
        return false;
    PageBuffer = page;
    return true;
}

}  // namespace iap
