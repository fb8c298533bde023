#include "PortLink.h"

#include "serial/PortAnnouncement_posix.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace iap::sim {

PortLink::~PortLink()
{
    remove();
}

bool PortLink::create(const std::string& name, const std::string& target, std::string& error)
{
    const std::string folder = announcementFolder();
    if (!ensureAnnouncementFolder(folder)) {
        error = "the announcement folder " + folder + " cannot be created or is not private to this user";
        return false;
    }
    const std::string path = folder + "/" + name;
    // A link of that name is left over from a device that was killed; a plain file is not ours.
    struct stat existing {};
    if (lstat(path.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode))
        ::unlink(path.c_str());
    if (symlink(target.c_str(), path.c_str()) != 0) {
        error = "cannot create the link " + path + ": " + std::strerror(errno);
        return false;
    }
    linkPath = path;
    return true;
}

void PortLink::remove()
{
    if (!linkPath.empty())
        ::unlink(linkPath.c_str());
    linkPath.clear();
}

}  // namespace iap::sim
