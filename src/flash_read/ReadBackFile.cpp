// The read-back file: raw pages, written beside the target and renamed over it only when
// complete, so that a failure never leaves half a file in place of the user's old one.
#include <QSaveFile>

#include <algorithm>

#include "session/Session.h"

namespace iap {

bool Session::SaveReadBack(const QString& fileName, int pages) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 bytes = qint64(std::clamp(pages, 0, ReadBackPages)) * PageBytes;
    if (file.write(reinterpret_cast<const char*>(ReadBackStore.data()), bytes) != bytes)
        return false;
    // Qt's commit does not see a buffered write that fails at the last flush (a full disk).
    return file.flush() && file.commit();
}

}  // namespace iap
