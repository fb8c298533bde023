#pragma once

#include <string>

namespace iap {

// The window names a port as it appears in the port list followed by ':' ("COM3:", "ttyUSB0:",
// or the path of a virtual device followed by ':'); these give the name the system opens.

// Linux: a name starting with '/' is already a path (virtual devices are announced by links),
// any other name is a device in /dev.
std::string posixDevicePath(const std::string& portDeviceName);

// Windows: the device namespace "\\.\", without which COM10 and above cannot be opened.
std::string windowsDevicePath(const std::string& portDeviceName);

}  // namespace iap
