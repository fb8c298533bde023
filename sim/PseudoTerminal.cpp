#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace iap::sim {

namespace {

// Only a cosmetic setting: a pseudo-terminal moves bytes at its own speed whatever it says.
speed_t speedConstant(unsigned baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
    }
}

}  // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(unsigned baud, std::string& error)
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    const char* name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
        error = std::string("cannot unlock the pseudo-terminal: ") + std::strerror(errno);
        close();
        return false;
    }
    path = name;
    slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings {};
    if (slave < 0 || tcgetattr(slave, &settings) != 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        close();
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (const speed_t speed = speedConstant(baud); speed != B0) {
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
    }
    if (tcsetattr(slave, TCSANOW, &settings) != 0) {
        error = "cannot set raw mode on " + path + ": " + std::strerror(errno);
        close();
        return false;
    }
    const int flags = fcntl(master, F_GETFL);
    if (flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = std::string("cannot make the master non-blocking: ") + std::strerror(errno);
        close();
        return false;
    }
    return true;
}

void PseudoTerminal::releaseExclusiveUse()
{
    if (slave >= 0)
        ioctl(slave, TIOCNXCL);
}

int PseudoTerminal::unreadBytes() const
{
    // The device's own descriptor of the slave shares the input queue with the program's.
    int count = 0;
    return slave >= 0 && ioctl(slave, FIONREAD, &count) == 0 ? count : 0;
}

void PseudoTerminal::close()
{
    if (slave >= 0)
        ::close(slave);
    if (master >= 0)
        ::close(master);
    slave = -1;
    master = -1;
}

}  // namespace iap::sim
