#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <cstring>
#include <utility>

#include "serial/PortSource.h"

namespace iap {

namespace {

constexpr const char* SerialCommKeyPath = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr DWORD ValueNameBufferChars = 1000;
constexpr DWORD ValueDataBufferBytes = 1000;

class RegistryKey {
public:
    RegistryKey(HKEY root, const char* path)
    {
        if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            key = nullptr;
    }
    ~RegistryKey()
    {
        if (key)
            RegCloseKey(key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY get() const { return key; }

private:
    HKEY key = nullptr;
};

// The text of a buffer up to its first NUL; false when the buffer holds none, as for a value
// written without its terminator that fills the whole buffer.
template <std::size_t Size>
bool cutAtNul(const std::array<char, Size>& buffer, QString& text)
{
    const void* nul = std::memchr(buffer.data(), 0, buffer.size());
    if (!nul)
        return false;
    text = QString::fromLocal8Bit(buffer.data(), static_cast<const char*>(nul) - buffer.data());
    return true;
}

// Windows lists every serial port device under one registry key: each value's name is the
// device and its data the port name.
class RegistryPortSource : public PortSource {
public:
    std::vector<PortValue> values() override
    {
        std::vector<PortValue> ports;
        const RegistryKey key(HKEY_LOCAL_MACHINE, SerialCommKeyPath);
        if (!key.get())
            return ports;
        // Any non-zero answer ends the listing: the end of the values, a value too long for the
        // buffers or an access error alike.
        for (DWORD index = 0;; ++index) {
            std::array<char, ValueNameBufferChars> name{};
            std::array<char, ValueDataBufferBytes> data{};
            DWORD nameChars = ValueNameBufferChars;
            DWORD dataBytes = ValueDataBufferBytes;
            DWORD type = REG_SZ;
            const LONG result = RegEnumValueA(key.get(), index, name.data(), &nameChars, nullptr, &type,
                                              reinterpret_cast<LPBYTE>(data.data()), &dataBytes);
            if (result != ERROR_SUCCESS)
                break;
            QString deviceName;
            QString portName;
            if (cutAtNul(name, deviceName) && cutAtNul(data, portName))
                ports.emplace_back(deviceName, portName);
        }
        return ports;
    }

    PortNameRules nameRules() const override { return PortNameRules::Registry; }
};

}  // namespace

std::unique_ptr<PortSource> makeSystemPortSource()
{
    return std::make_unique<RegistryPortSource>();
}

}  // namespace iap
