#include "RuntimeDir.h"

#include <QFile>

namespace iap::test {

RuntimeDir::RuntimeDir()
{
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
}

RuntimeDir::~RuntimeDir()
{
    if (hadPrevious)
        qputenv("XDG_RUNTIME_DIR", previous);
    else
        qunsetenv("XDG_RUNTIME_DIR");
}

}  // namespace iap::test
