#include "serial/LineState_posix.h"

namespace iap {

namespace {

std::optional<speed_t> speedFor(int baudRate)
{
    switch (baudRate) {
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    default: return std::nullopt;
    }
}

}  // namespace

std::optional<termios> rawLineState(const termios& current, int baudRate)
{
    const auto speed = speedFor(baudRate);
    if (!speed)
        return std::nullopt;
    termios state = current;
    cfmakeraw(&state);
    state.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    state.c_cflag |= CLOCAL | CREAD | CS8;
    state.c_iflag &= ~(IXON | IXOFF | IXANY);
    state.c_cc[VMIN] = 1;
    state.c_cc[VTIME] = 0;
    if (cfsetispeed(&state, *speed) != 0 || cfsetospeed(&state, *speed) != 0)
        return std::nullopt;
    return state;
}

}  // namespace iap
