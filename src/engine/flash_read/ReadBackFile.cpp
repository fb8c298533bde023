// The read-back file: raw pages, written beside the target and renamed over it only when
// complete, so that a failure never leaves half a file in place of the user's old one.
#include <QSaveFile>

#include "flash_read/FlashRead.h"

namespace iap {

bool FlashRead::save(const QString& fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray pages = received.left(qsizetype(pagesRead()) * PageBytes);
    if (file.write(pages) != pages.size())
        return false;
    // Qt's commit does not see a buffered write that fails at the last flush (a full disk).
    return file.flush() && file.commit();
}

}  // namespace iap
