#pragma once

#include <string>

namespace iap {

// The path the system opens for a port named as the port list shows it ("COM3", "ttyUSB0", or
// the path of a virtual device's link).

// Linux: a name starting with '/' is already a path (virtual devices are announced by links),
// any other name is a device in /dev.
std::string posixDevicePath(const std::string& portName);

// Windows: the device namespace "\\.\", without which COM10 and above cannot be opened.
std::string windowsDevicePath(const std::string& portName);

}  // namespace iap
