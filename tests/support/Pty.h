#pragma once

#include <QString>

#include <termios.h>

#include "PtyPeer.h"

namespace iap::test {

// A pseudo-terminal pair standing in for a serial port: the program under test opens the
// subordinate side by its path, the test plays the device on the controlling side, which this
// object is.
class Pty : public PtyPeer {
public:
    Pty();
    ~Pty();

    bool isValid() const { return fd() >= 0 && keeper >= 0; }
    QString portPath() const { return path; }
    // The port as the window names it: the path followed by ':'.
    QString portDeviceName() const { return path + ':'; }

    // The port's current line settings, as the program left them.
    termios lineSettings() const;

    // Pulls the device away while the program still has the port open (an adapter unplugged).
    void unplug() { close(); }

private:
    // Keeps the subordinate side open between the program's opens, so that the controlling side
    // never sees a hang-up of its own while the program closes and reopens the port.
    int keeper = -1;
    QString path;
};

}  // namespace iap::test
