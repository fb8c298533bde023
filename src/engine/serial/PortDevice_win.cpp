#include "serial/PortDevice.h"

#include "serial/PortDeviceName.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>


namespace iap {

namespace {

// The port is opened for overlapped I/O: a read waits on one thread while a write goes out from
// another (a synchronous handle would hold the write until the read ends), and a read can be
// cancelled. The comm time-outs end reads and writes just as they end synchronous ones.
class WindowsPortDevice final : public PortDevice {
public:
    WindowsPortDevice()
        : readDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          writeDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          cancel(CreateEventA(nullptr, FALSE, FALSE, nullptr))
    {
    }

    ~WindowsPortDevice() override
    {
        close();
        for (HANDLE event : {readDone, writeDone, cancel})
            if (event)
                CloseHandle(event);
    }

    bool open(const std::string& portName) override
    {
        close();
        ResetEvent(cancel);
        const std::string path = windowsDevicePath(portName);
        handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        // Bytes that came before this open belong to an earlier connection: none of them is a
        // reply to what this one sends.
        PurgeComm(handle, PURGE_RXCLEAR);
        return true;
    }

    bool setTimeouts(const CommTimeouts& timeouts) override
    {
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        COMMTIMEOUTS commTimeouts{};
        commTimeouts.ReadIntervalTimeout = static_cast<DWORD>(timeouts.readIntervalMs());
        commTimeouts.ReadTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.readTotalMultiplierMs());
        commTimeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(timeouts.readTotalConstantMs());
        commTimeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.writeTotalMultiplierMs());
        commTimeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(timeouts.writeTotalConstantMs());
        if (!SetCommTimeouts(handle, &commTimeouts))
            return false;
        readTotalTimeoutMultiplierMs = timeouts.readTotalMultiplierMs();
        readTotalTimeoutConstantMs = timeouts.readTotalConstantMs();
        return true;
    }

    bool setLine(int baudRate) override
    {
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        // A zeroed record leaves every handshake off; Windows supports binary mode only, and
        // saying so keeps drivers from reading EOF characters.
        DCB state{};
        state.DCBlength = sizeof(DCB);
        state.BaudRate = static_cast<DWORD>(baudRate);
        state.ByteSize = 8;
        state.Parity = NOPARITY;
        state.StopBits = ONESTOPBIT;
        state.fBinary = TRUE;
        return SetCommState(handle, &state) != FALSE;
    }

    int read(std::uint8_t* buffer, int requestedBytes) override
    {
        if (handle == INVALID_HANDLE_VALUE || requestedBytes <= 0)
            return 0;
        const DWORD fullTimeMs = DWORD(readTotalTimeoutMultiplierMs) * DWORD(requestedBytes) + DWORD(readTotalTimeoutConstantMs);
        OVERLAPPED overlapped{};
        overlapped.hEvent = readDone;
        ResetEvent(readDone);
        DWORD received = 0;
        if (!ReadFile(handle, buffer, static_cast<DWORD>(requestedBytes), &received, &overlapped)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                // A port that went away (adapter unplugged) fails every read at once; taking the
                // read's full time keeps the dispatcher from spinning.
                WaitForSingleObject(cancel, fullTimeMs);
                return 0;
            }
            const HANDLE events[] = {readDone, cancel};
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0)
                CancelIoEx(handle, &overlapped);
            if (!GetOverlappedResult(handle, &overlapped, &received, TRUE) && received == 0)
                return 0;
        }
        return static_cast<int>(received);
    }

    void cancelRead() override { SetEvent(cancel); }

    int write(const std::uint8_t* bytes, int byteCount) override
    {
        if (handle == INVALID_HANDLE_VALUE || byteCount <= 0)
            return 0;
        // A write that fails or times out still reports the bytes it got out before it stopped.
        OVERLAPPED overlapped{};
        overlapped.hEvent = writeDone;
        ResetEvent(writeDone);
        DWORD written = 0;
        if (!WriteFile(handle, bytes, static_cast<DWORD>(byteCount), &written, &overlapped) && GetLastError() == ERROR_IO_PENDING)
            GetOverlappedResult(handle, &overlapped, &written, TRUE);
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
        return CloseHandle(closing) != FALSE;
    }

private:
    const HANDLE readDone;
    const HANDLE writeDone;
    const HANDLE cancel;
    HANDLE handle = INVALID_HANDLE_VALUE;
    int readTotalTimeoutMultiplierMs = 0;
    int readTotalTimeoutConstantMs = 0;
};

}  // namespace

std::unique_ptr<PortDevice> makeSystemPortDevice()
{
    return std::make_unique<WindowsPortDevice>();
}

}  // namespace iap
