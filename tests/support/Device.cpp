#include "Device.h"

#include "Wait.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

#include <csignal>

namespace iap::test {

VirtualDevice::VirtualDevice(QStringList options) : options(std::move(options))
{
    process.setReadChannel(QProcess::StandardOutput);
}

VirtualDevice::~VirtualDevice()
{
    stop();
}

bool VirtualDevice::start()
{
    // The test's own options come last and win.
    process.start(QStringLiteral(IAP_SIM_PATH), QStringList{"--log", dir.filePath(QStringLiteral("sim.log")), "--image", imagePath(),
                                                            "--reply-gap-ms", "200"} + options);
    const QDeadlineTimer deadline(TimeoutMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || !process.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    const QStringList words = QString::fromLocal8Bit(process.readLine()).trimmed().split(u' ');
    if (words.size() != 3 || words[0] != u"READY")
        return false;
    port = words[1];
    link = words[2];
    return true;
}

void VirtualDevice::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(TimeoutMs))
        process.kill();
    process.waitForFinished(TimeoutMs);
}

bool VirtualDevice::signal(int signalNumber)
{
    return process.processId() > 0 && ::kill(pid_t(process.processId()), signalNumber) == 0;
}

QStringList VirtualDevice::logLines()
{
    QFile file(dir.filePath(QStringLiteral("sim.log")));
    if (file.open(QIODevice::ReadOnly) && file.seek(logOffset)) {
        const QByteArray fresh = file.readAll();
        logOffset += fresh.size();
        partialLine += fresh;
        const qsizetype end = partialLine.lastIndexOf('\n');
        if (end >= 0) {
            for (const QByteArray& line : partialLine.left(end).split('\n'))
                lines << QString::fromLatin1(line);
            partialLine.remove(0, end + 1);
        }
    }
    return lines;
}

int VirtualDevice::logCount(const QString& substring)
{
    const QStringList all = logLines();
    return int(std::count_if(all.begin(), all.end(), [&](const QString& line) { return line.contains(substring); }));
}

bool VirtualDevice::waitForLog(const QString& substring, int count, int timeoutMs)
{
    return waitUntil([&] { return logCount(substring) >= count; }, timeoutMs);
}

QList<double> VirtualDevice::logInstantsMs(const QString& kind)
{
    const QRegularExpression line(QStringLiteral("^([0-9.]+) ") + QRegularExpression::escape(kind));
    QList<double> instants;
    for (const QString& text : logLines())
        if (const QRegularExpressionMatch match = line.match(text); match.hasMatch())
            instants << match.captured(1).toDouble();
    return instants;
}

QList<QByteArray> VirtualDevice::receivedFrames()
{
    static const QRegularExpression frameLine(QStringLiteral("^\\S+ RX (?:CMD|PAGE \\d+) ([0-9A-F ]+)$"));
    QList<QByteArray> frames;
    for (const QString& line : logLines()) {
        const QRegularExpressionMatch match = frameLine.match(line);
        if (match.hasMatch())
            frames << QByteArray::fromHex(match.captured(1).toLatin1());
    }
    return frames;
}

QByteArray VirtualDevice::flash(quint32 address, int length)
{
    static const QRegularExpression baseWord(QStringLiteral(" flash-base 0x([0-9A-F]+) "));
    const int saved = logCount(QStringLiteral(" SAVED "));
    if (!signal(SIGUSR2) || !waitForLog(QStringLiteral(" SAVED "), saved + 1))
        return {};
    const QRegularExpressionMatch base = baseWord.match(logLines().join(u'\n'));
    const quint32 first = base.captured(1).toUInt(nullptr, 16);
    QFile image(imagePath());
    if (!base.hasMatch() || address < first || !image.open(QIODevice::ReadOnly) || !image.seek(address - first))
        return {};
    return image.read(length);
}

bool VirtualDevice::restart()
{
    const int before = logCount(QStringLiteral(" RESTART"));
    return signal(SIGRTMIN) && waitForLog(QStringLiteral(" RESTART"), before + 1);
}

}  // namespace iap::test
