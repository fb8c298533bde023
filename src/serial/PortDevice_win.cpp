#include "serial/PortDevice.h"

#include "serial/PortDeviceName.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <thread>

namespace iap {

namespace {

class WindowsPortDevice final : public PortDevice {
public:
    ~WindowsPortDevice() override { close(); }

    bool open(const std::string& portDeviceName) override
    {
        close();
        const std::string path = windowsDevicePath(portDeviceName);
        handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return handle != INVALID_HANDLE_VALUE;
    }

    bool setTimeouts(const CommTimeouts& timeouts) override
    {
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        COMMTIMEOUTS commTimeouts{};
        commTimeouts.ReadIntervalTimeout = static_cast<DWORD>(timeouts.readIntervalTimeoutMs);
        commTimeouts.ReadTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.readTotalTimeoutMultiplierMs);
        commTimeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(timeouts.readTotalTimeoutConstantMs);
        commTimeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.writeTotalTimeoutMultiplierMs);
        commTimeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(timeouts.writeTotalTimeoutConstantMs);
        if (!SetCommTimeouts(handle, &commTimeouts))
            return false;
        readTotalTimeoutMultiplierMs = timeouts.readTotalTimeoutMultiplierMs;
        readTotalTimeoutConstantMs = timeouts.readTotalTimeoutConstantMs;
        return true;
    }

    bool buildLineSettings(const std::string& settingsText) override
    {
        // A zeroed record leaves every handshake off, so only the text's four fields take effect.
        pendingState = DCB{};
        pendingState.DCBlength = sizeof(DCB);
        stateBuilt = BuildCommDCBA(settingsText.c_str(), &pendingState) != FALSE;
        // Windows supports binary mode only; saying so keeps drivers from reading EOF characters.
        if (stateBuilt)
            pendingState.fBinary = TRUE;
        return stateBuilt;
    }

    bool applyLineSettings() override
    {
        if (handle == INVALID_HANDLE_VALUE || !stateBuilt)
            return false;
        return SetCommState(handle, &pendingState) != FALSE;
    }

    int read(std::uint8_t* buffer, int requestedBytes) override
    {
        if (handle == INVALID_HANDLE_VALUE || requestedBytes <= 0)
            return 0;
        const auto deadline = std::chrono::steady_clock::now()
            + std::chrono::milliseconds(readTotalTimeoutMultiplierMs) * requestedBytes
            + std::chrono::milliseconds(readTotalTimeoutConstantMs);
        DWORD received = 0;
        if (ReadFile(handle, buffer, static_cast<DWORD>(requestedBytes), &received, nullptr))
            return static_cast<int>(received);
        // A port that went away (adapter unplugged) fails every read at once; taking the read's
        // full time keeps the dispatcher, which polls every few milliseconds, from spinning.
        std::this_thread::sleep_until(deadline);
        return 0;
    }

    int write(const std::uint8_t* bytes, int byteCount) override
    {
        if (handle == INVALID_HANDLE_VALUE || byteCount <= 0)
            return 0;
        // A write that fails or times out still reports the bytes it got out before it stopped.
        DWORD written = 0;
        WriteFile(handle, bytes, static_cast<DWORD>(byteCount), &written, nullptr);
        return static_cast<int>(written);
    }

    bool flush() override
    {
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        return FlushFileBuffers(handle) != FALSE;
    }

    bool close() override
    {
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const HANDLE closing = handle;
        handle = INVALID_HANDLE_VALUE;
        stateBuilt = false;
        return CloseHandle(closing) != FALSE;
    }

private:
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB pendingState{};
    bool stateBuilt = false;
    int readTotalTimeoutMultiplierMs = 0;
    int readTotalTimeoutConstantMs = 0;
};

}  // namespace

std::unique_ptr<PortDevice> makeSystemPortDevice()
{
    return std::make_unique<WindowsPortDevice>();
}

}  // namespace iap
