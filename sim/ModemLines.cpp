#include "ModemLines.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace iap::sim {

std::string modemLinesPath(const std::string& linkPath)
{
    return linkPath + ".lines";
}

bool writeModemLines(const std::string& linkPath, const std::string& activeInputs)
{
    const std::string path = modemLinesPath(linkPath);
    const std::string temporary = path + ".new";
    const std::string text = activeInputs + "\n";
    // A new file of our own: whatever a crash left under the temporary name is not written through.
    ::unlink(temporary.c_str());
    const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0)
        return false;
    const bool written = ::write(file, text.data(), text.size()) == ssize_t(text.size());
    if (::close(file) == 0 && written && std::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace iap::sim
