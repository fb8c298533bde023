#include "serial/PortAnnouncement_posix.h"

#include <cerrno>
#include <cstdlib>
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

}  // namespace iap
