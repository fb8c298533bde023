#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace iap::test {

// The virtual bootloader (iap-sim) run for a test, with its log and flash image in a folder of
// its own. It announces itself in the folder XDG_RUNTIME_DIR names (see RuntimeDir). Replies
// are 200 ms apart unless the options say otherwise: far more than the 20 ms of silence that
// ends a reply, so that a test process held up for a moment never sees two replies as one.
class VirtualDevice {
public:
    static constexpr int TimeoutMs = 10000;

    explicit VirtualDevice(QStringList options = {});
    ~VirtualDevice();
    VirtualDevice(const VirtualDevice&) = delete;
    VirtualDevice& operator=(const VirtualDevice&) = delete;

    // Launches the device and waits until it is ready; false when it does not get ready.
    bool start();
    // SIGTERM, and waits until the device has saved its image and removed its link.
    void stop();

    QString portPath() const { return port; }
    QString linkPath() const { return link; }
    // The flash image the device loads at start (write it before start()) and saves.
    QString imagePath() const { return dir.filePath(QStringLiteral("flash.bin")); }

    QStringList logLines();
    int logCount(const QString& substring);
    bool waitForLog(const QString& substring, int count = 1, int timeoutMs = TimeoutMs);
    // The instants, in ms since the device started, of the log lines that begin with `kind`
    // ("RX CMD", "RX PAGE 0 ", "TX DATA", ...).
    QList<double> logInstantsMs(const QString& kind);
    // Every command frame and page block received so far, in order.
    QList<QByteArray> receivedFrames();
    // The device's flash at device addresses, as it is now.
    QByteArray flash(quint32 address, int length);
    // A fresh device in place (SIGRTMIN): erased, idle.
    bool restart();
    bool signal(int signalNumber);

private:
    QStringList options;
    QTemporaryDir dir;
    QProcess process;
    QString port;
    QString link;
    qint64 logOffset = 0;
    QByteArray partialLine;
    QStringList lines;
};

// Faster line and flash, where their timing is not what a test is about.
inline QStringList fast(const QStringList& more = {})
{
    return QStringList{"--baud", "2000000", "--program-ms", "1", "--erase-ms", "1"} + more;
}

}  // namespace iap::test
