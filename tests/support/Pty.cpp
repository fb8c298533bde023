#include "Pty.h"

#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace iap::test {

Pty::Pty()
{
    const int opened = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (opened < 0)
        return;
    const char* name = nullptr;
    if (grantpt(opened) != 0 || unlockpt(opened) != 0 || (name = ptsname(opened)) == nullptr
        || fcntl(opened, F_SETFL, O_NONBLOCK) != 0 || !makeRaw(opened)) {
        ::close(opened);
        return;
    }
    path = QString::fromLocal8Bit(name);
    descriptor = opened;
    keeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (keeper < 0 || !makeRaw(keeper))
        close();
}

Pty::~Pty()
{
    close();
    if (keeper >= 0)
        ::close(keeper);
}

termios Pty::lineSettings() const
{
    termios state{};
    tcgetattr(keeper, &state);
    return state;
}

}  // namespace iap::test
