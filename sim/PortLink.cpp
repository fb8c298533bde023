#include "PortLink.h"

#include "ModemLines.h"
#include "serial/PortAnnouncement_posix.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace iap::sim {

PortLink::~PortLink()
{
    remove();
}

bool PortLink::create(const std::string& name, const std::string& target, const std::string& serial, std::string& error)
{
    const std::string folder = announcementFolder();
    if (!ensureAnnouncementFolder(folder)) {
        error = "the announcement folder " + folder + " cannot be created or is not private to this user";
        return false;
    }
    const std::string path = folder + "/" + name;
    const std::string lockPath = announcementLockPath(path);
    lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat lockFile {};
    if (lock < 0 || fstat(lock, &lockFile) != 0 || !S_ISREG(lockFile.st_mode)) {
        error = "cannot create the lock " + lockPath + " as a file of its own";
        if (lock >= 0)
            ::close(std::exchange(lock, -1));
        return false;
    }
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        error = "another running device announces itself as " + path;
        ::close(std::exchange(lock, -1));
        return false;
    }
    // Written before the link exists, so that whoever finds the link finds the whole line.
    if (!setSerial(serial)) {
        error = "cannot write the serial number into " + lockPath + ": " + std::strerror(errno);
        ::unlink(lockPath.c_str());
        ::close(std::exchange(lock, -1));
        return false;
    }
    if (modemInputs && !writeModemLines(path, *modemInputs)) {
        error = "cannot write " + modemLinesPath(path) + ": " + std::strerror(errno);
        ::unlink(lockPath.c_str());
        ::close(std::exchange(lock, -1));
        return false;
    }
    // A link of that name is left over from a device that was killed; a plain file is not ours.
    struct stat existing {};
    if (lstat(path.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode))
        ::unlink(path.c_str());
    if (symlink(target.c_str(), path.c_str()) != 0) {
        error = "cannot create the link " + path + ": " + std::strerror(errno);
        ::unlink(modemLinesPath(path).c_str());
        ::unlink(lockPath.c_str());
        ::close(std::exchange(lock, -1));
        return false;
    }
    linkPath = path;
    return true;
}

// The new serial is written over the old before the file is cut to its length, so that a reader
// finds the old line, the new one, or none, never an empty file while a board is in.
bool PortLink::setSerial(const std::string& serial)
{
    const std::string line = serial.empty() ? std::string() : serial + "\n";
    return lock >= 0 && pwrite(lock, line.data(), line.size(), 0) == ssize_t(line.size()) && ftruncate(lock, off_t(line.size())) == 0;
}

bool PortLink::setModemInputs(const std::string& activeInputs)
{
    modemInputs = activeInputs;
    return linkPath.empty() || writeModemLines(linkPath, activeInputs);
}

void PortLink::remove()
{
    // The link goes first: a link is never found without its live lock and its modem lines.
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        ::unlink(modemLinesPath(linkPath).c_str());
    }
    if (lock >= 0) {
        if (!linkPath.empty())
            ::unlink(announcementLockPath(linkPath).c_str());
        ::close(std::exchange(lock, -1));
    }
    linkPath.clear();
}

}  // namespace iap::sim
