#pragma once

#include <QByteArray>
#include <QTemporaryDir>

namespace iap::test {

// Points XDG_RUNTIME_DIR at a fresh private folder for the life of the object, so that port
// discovery in a test sees only the virtual devices that the test itself announces.
class PrivateRuntimeDir {
public:
    PrivateRuntimeDir();
    ~PrivateRuntimeDir();
    PrivateRuntimeDir(const PrivateRuntimeDir&) = delete;
    PrivateRuntimeDir& operator=(const PrivateRuntimeDir&) = delete;

    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
    QByteArray previous;
    bool hadPrevious;
};

}  // namespace iap::test
