#include "Terminal.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace iap::sim {

namespace {

struct Rate {
    speed_t constant;
    unsigned baud;
};

constexpr std::array<Rate, 16> Rates {{{B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200}, {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B500000, 500000}, {B921600, 921600},
    {B1000000, 1000000}, {B1500000, 1500000}, {B2000000, 2000000}, {B3000000, 3000000}}};

// On a pseudo-terminal only a cosmetic setting: it moves bytes at its own speed whatever it says.
speed_t speedConstant(unsigned baud)
{
    for (const Rate& rate : Rates)
        if (rate.baud == baud)
            return rate.constant;
    return B0;
}

}  // namespace

Terminal::~Terminal()
{
    close();
}

bool Terminal::open(unsigned baud, std::string& error)
{
    given = false;
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
    if (slave < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        close();
        return false;
    }
    if (!makeRaw(slave, baud, error)) {
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

bool Terminal::openGiven(const std::string& givenPath, unsigned baud, std::string& error)
{
    given = true;
    path = givenPath;
    master = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!isatty(master)) {
        error = path + " is not a terminal";
        close();
        return false;
    }
    if (!makeRaw(master, baud, error)) {
        close();
        return false;
    }
    return true;
}

bool Terminal::makeRaw(int fd, unsigned baud, std::string& error)
{
    termios settings {};
    if (tcgetattr(fd, &settings) != 0) {
        error = "cannot read the settings of " + path + ": " + std::strerror(errno);
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (const speed_t speed = speedConstant(baud); speed != B0) {
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
    }
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        error = "cannot set raw mode on " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void Terminal::releaseExclusiveUse()
{
    if (slave >= 0)
        ioctl(slave, TIOCNXCL);
}

int Terminal::unreadBytes() const
{
    // The device's own descriptor of the slave shares the input queue with the program's.
    int count = 0;
    return slave >= 0 && ioctl(slave, FIONREAD, &count) == 0 ? count : 0;
}

std::optional<unsigned> Terminal::toolRate() const
{
    termios settings {};
    if (slave < 0 || tcgetattr(slave, &settings) != 0)
        return std::nullopt;
    const speed_t speed = cfgetospeed(&settings);
    for (const Rate& rate : Rates)
        if (rate.constant == speed)
            return rate.baud;
    return std::nullopt;
}

void Terminal::close()
{
    if (slave >= 0)
        ::close(std::exchange(slave, -1));
    if (master >= 0)
        ::close(std::exchange(master, -1));
}

}  // namespace iap::sim
