#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

#include <termios.h>

#include "serial/PortSource.h"

namespace iap::test {

// A pseudo-terminal standing in for a serial port: the program under test opens the
// subordinate side by its path, the test plays the device on the controlling side. Every wait
// is bounded.
class Pty {
public:
    static constexpr int TimeoutMs = 5000;

    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isValid() const { return controller >= 0 && keeper >= 0; }
    QString path() const { return subordinate; }
    // The port list of a window whose one port is this one.
    std::unique_ptr<PortSource> listing() const;

    bool write(const QByteArray& bytes);
    // length bytes, or fewer when the time runs out first.
    QByteArray read(qsizetype length, int timeoutMs = TimeoutMs);
    // True when nothing arrives for windowMs.
    bool quiet(int windowMs);
    // Bytes written to the program that it has not read yet.
    int waitingForProgram() const;
    // The line settings the program left on the port.
    termios lineSettings() const;
    // Another program's attempt to open the port is refused.
    bool held() const;
    // The port is let go within the bound (the program's line releases it a moment after a close).
    bool letGo(int timeoutMs = TimeoutMs) const;
    // The adapter pulled out while the program has the port open.
    void unplug();

private:
    bool readable(int timeoutMs) const;

    int controller = -1;
    // Keeps the subordinate side open between the program's opens, so that the controlling
    // side never sees a hang-up of its own while the program closes and reopens the port.
    int keeper = -1;
    QString subordinate;
};

}  // namespace iap::test
