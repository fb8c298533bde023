#include "serial/PortAnnouncement_posix.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iap {

std::string announcementFolder()
{
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && *runtimeDir)
        return std::string(runtimeDir) + "/iap-ports";
    return "/tmp/iap-ports-" + std::to_string(getuid());
}

bool announcementFolderTrusted(const std::string& folder)
{
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool ensureAnnouncementFolder(const std::string& folder)
{
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return announcementFolderTrusted(folder);
}

std::string announcementLockPath(const std::string& linkPath)
{
    return linkPath + ".lock";
}

bool announcedDeviceAlive(const std::string& linkPath)
{
    const int lock = ::open(announcementLockPath(linkPath).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (lock < 0)
        return false;
    // Our own attempt fails exactly while the announcing program holds its lock.
    const bool held = flock(lock, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(lock);
    return held;
}

bool isAnnouncement(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash != std::string::npos && path.substr(0, slash) == announcementFolder();
}

}  // namespace iap
