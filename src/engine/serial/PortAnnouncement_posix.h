#pragma once

#include <cstddef>
#include <string>

namespace iap {

// Programs that offer a virtual serial device (a pseudo-terminal) announce it by a symbolic
// link to the pseudo-terminal in a per-user folder; port discovery lists every such link.
// The folder is $XDG_RUNTIME_DIR/iap-ports, or /tmp/iap-ports-<uid> without XDG_RUNTIME_DIR.
std::string announcementFolder();

// A folder that another user could write into could make the tool open a device of that
// user's choosing, so only a folder owned by this user and closed to group and others counts.
bool announcementFolderTrusted(const std::string& folder);

// Creates the folder (mode 0700) when it is missing; true when it exists and is trusted.
bool ensureAnnouncementFolder(const std::string& folder);

// An announcement proves that its device is alive: the announcing program holds an exclusive
// flock on the regular file named like the link with ".lock" appended, for as long as it runs.
// A link whose lock nobody holds was left by a program that died; it may lead to a terminal
// that another program has since got, so it is neither listed nor opened.
std::string announcementLockPath(const std::string& linkPath);
bool announcedDeviceAlive(const std::string& linkPath);
// The announcing program may name its device's serial number on the first line of the lock file:
// printable ASCII without spaces, at most AnnouncedSerialMaxBytes, ended by a newline. Anything
// else there names none, so a file half written or of another kind is never shown as a serial.
constexpr std::size_t AnnouncedSerialMaxBytes = 64;
bool validAnnouncedSerial(const std::string& serial);
// The serial number the announcement names; empty when it names none.
std::string announcedSerial(const std::string& linkPath);
// Whether a path names an entry of the current user's announcement folder.
bool isAnnouncement(const std::string& path);

}  // namespace iap
