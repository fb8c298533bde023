#pragma once

#include <QByteArray>
#include <QTemporaryDir>

namespace iap::test {

// Points XDG_RUNTIME_DIR at a fresh private folder while it lives, so that port discovery sees
// only the virtual devices the test itself announces.
class RuntimeDir {
public:
    RuntimeDir();
    ~RuntimeDir();
    RuntimeDir(const RuntimeDir&) = delete;
    RuntimeDir& operator=(const RuntimeDir&) = delete;

    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
    QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    bool hadPrevious = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
};

}  // namespace iap::test
