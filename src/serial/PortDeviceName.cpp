#include "serial/PortDeviceName.h"

namespace iap {

namespace {

const std::string WindowsDeviceNamespace = "\\\\.\\";

std::string withoutTrailingColon(const std::string& portDeviceName)
{
    if (!portDeviceName.empty() && portDeviceName.back() == ':')
        return portDeviceName.substr(0, portDeviceName.size() - 1);
    return portDeviceName;
}

}  // namespace

std::string posixDevicePath(const std::string& portDeviceName)
{
    const std::string name = withoutTrailingColon(portDeviceName);
    if (!name.empty() && name.front() == '/')
        return name;
    return "/dev/" + name;
}

std::string windowsDevicePath(const std::string& portDeviceName)
{
    const std::string name = withoutTrailingColon(portDeviceName);
    if (name.starts_with(WindowsDeviceNamespace))
        return name;
    return WindowsDeviceNamespace + name;
}

}  // namespace iap
