#pragma once

#include <string>

namespace iap::sim {

// The symbolic link in the per-user announcement folder by which port discovery finds the
// device, and the lock beside it that proves the device alive. Both exist exactly while the
// line is up.
class PortLink {
public:
    PortLink() = default;
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    bool create(const std::string& name, const std::string& target, const std::string& serial, std::string& error);
    void remove();

    const std::string& path() const { return linkPath; }

private:
    std::string linkPath;
    int lock = -1;
};

}  // namespace iap::sim
