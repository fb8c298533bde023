#include "serial/PortDeviceName.h"

namespace iap {

namespace {

const std::string WindowsDeviceNamespace = "\\\\.\\";

}  // namespace

std::string posixDevicePath(const std::string& portName)
{
    if (!portName.empty() && portName.front() == '/')
        return portName;
    return "/dev/" + portName;
}

std::string windowsDevicePath(const std::string& portName)
{
    if (portName.starts_with(WindowsDeviceNamespace))
        return portName;
    return WindowsDeviceNamespace + portName;
}

}  // namespace iap
