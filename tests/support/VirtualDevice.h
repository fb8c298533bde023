#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace iap::test {

// Runs the virtual bootloader (iap-sim) for a test: its own temporary folder holds the log
// and the flash image, and every wait is bounded. The device announces itself in the folder
// that XDG_RUNTIME_DIR names when it starts; tests that run port discovery point that
// variable at a private folder first (PrivateRuntimeDir).
class VirtualDevice {
public:
    static constexpr int StartTimeoutMs = 10000;
    static constexpr int ReplyTimeoutMs = 10000;
    static constexpr int StopTimeoutMs = 10000;

    explicit VirtualDevice(QStringList extraArgs = {});
    ~VirtualDevice();
    VirtualDevice(const VirtualDevice&) = delete;
    VirtualDevice& operator=(const VirtualDevice&) = delete;

    static QString programPath();
    // Options for a device whose line and flash are so fast that their timing does not matter.
    static QStringList fastOptions(const QStringList& more = {});

    // Launches iap-sim and waits for its READY line; false when it fails or does not get ready.
    bool start();
    // SIGTERM, then waits for the process to end (the device removes its link and saves its image).
    void stop();

    QString portPath() const { return port; }
    QString linkPath() const { return link; }
    QString logPath() const;
    // The image the device preloads at start and saves to; a test may write it before start().
    QString imagePath() const;
    qint64 processId() const;
    bool isRunning() const;
    // Exit code and status of an ended device.
    int exitCode() const { return process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return process.exitStatus(); }

    // Every command frame and page block received so far, in order.
    QList<QByteArray> receivedFrames();
    QStringList logLines();
    int logCount(const QString& substring);
    bool waitForLog(const QString& substring, int timeoutMs);
    bool waitForLogCount(const QString& substring, int count, int timeoutMs);
    // The device's current flash contents at device addresses; empty when the device cannot save.
    QByteArray flash(quint32 address, int length);
    // SIGUSR1: a fresh device; waits until it logs RESTART.
    bool restartDevice();
    bool sendSignal(int signalNumber);

    // Polls the condition while the event loop runs, until it holds or the time is up.
    static bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

private:
    void readNewLogLines();
    quint32 flashBase();
    QString argumentValue(const QString& option) const;

    QStringList extraArgs;
    QTemporaryDir dir;
    QProcess process;
    QString port;
    QString link;
    qint64 logOffset = 0;
    QByteArray partialLogLine;
    QStringList lines;
};

}  // namespace iap::test
