#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

namespace iap::test {

// A pseudo-terminal pair standing in for a serial port: the program under test opens the
// subordinate side by its path, the test plays the device on the controlling side. Both sides
// are raw, so every byte value passes unchanged.
class Pty {
public:
    // Long enough for a full page on a loaded machine; a wait ends as soon as its bytes are through.
    static constexpr int DefaultTimeoutMs = 2000;

    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isValid() const { return controller >= 0 && keeper >= 0; }
    QString portPath() const { return path; }
    // The port as the window names it: the path followed by ':'.
    QString portDeviceName() const { return path + ':'; }

    // What the device sends; true when every byte went out within the time-out.
    bool send(const QByteArray& bytes, int timeoutMs = DefaultTimeoutMs);
    // What the program sent: returns once `count` bytes arrived or the time-out ran out.
    QByteArray receive(int count, int timeoutMs = DefaultTimeoutMs);
    // True when nothing arrives from the program within `windowMs`.
    bool nothingArrives(int windowMs);

    // The port's current line settings, as the program left them.
    termios lineSettings() const;

    // Pulls the device away while the program still has the port open (an adapter unplugged).
    void unplug();

private:
    int controller = -1;
    // Keeps the subordinate side open between the program's opens, so that the controlling side
    // never sees a hang-up of its own while the program closes and reopens the port.
    int keeper = -1;
    QString path;
};

}  // namespace iap::test
