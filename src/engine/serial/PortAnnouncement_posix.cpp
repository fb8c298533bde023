#include "serial/PortAnnouncement_posix.h"

#include <algorithm>
#include <array>
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

bool validAnnouncedSerial(const std::string& serial)
{
    return !serial.empty() && serial.size() <= AnnouncedSerialMaxBytes
        && std::all_of(serial.begin(), serial.end(), [](char c) { return c > ' ' && c <= '~'; });
}

std::string announcedSerial(const std::string& linkPath)
{
    // Not blocking on a FIFO planted in place of the file, and never reading more than a serial and its newline.
    const int lock = ::open(announcementLockPath(linkPath).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (lock < 0)
        return {};
    std::array<char, AnnouncedSerialMaxBytes + 1> buffer {};
    struct stat info {};
    const ssize_t length = fstat(lock, &info) == 0 && S_ISREG(info.st_mode) ? ::read(lock, buffer.data(), buffer.size()) : -1;
    ::close(lock);
    const std::string text(buffer.data(), std::size_t(std::max<ssize_t>(length, 0)));
    const std::size_t newline = text.find('\n');
    if (newline == std::string::npos)
        return {};
    const std::string serial = text.substr(0, newline);
    return validAnnouncedSerial(serial) ? serial : std::string();
}

bool isAnnouncement(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash != std::string::npos && path.substr(0, slash) == announcementFolder();
}

}  // namespace iap
