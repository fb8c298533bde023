#include "PrivateRuntimeDir.h"

#include <QFile>

namespace iap::test {

PrivateRuntimeDir::PrivateRuntimeDir()
    : previous(qgetenv("XDG_RUNTIME_DIR")), hadPrevious(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
{
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
}

PrivateRuntimeDir::~PrivateRuntimeDir()
{
    if (hadPrevious)
        qputenv("XDG_RUNTIME_DIR", previous);
    else
        qunsetenv("XDG_RUNTIME_DIR");
}

}  // namespace iap::test
