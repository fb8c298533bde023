#include "VirtualDevice.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>

namespace iap::test {

namespace {

constexpr int PollIntervalMs = 5;

const QString DefaultLogName = QStringLiteral("sim.log");
const QString DefaultImageName = QStringLiteral("flash.bin");

}  // namespace

VirtualDevice::VirtualDevice(QStringList extraArgs)
    : extraArgs(std::move(extraArgs))
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setReadChannel(QProcess::StandardOutput);
}

VirtualDevice::~VirtualDevice()
{
    stop();
}

QString VirtualDevice::programPath()
{
    return QStringLiteral(IAP_SIM_PATH);
}

QStringList VirtualDevice::fastOptions(const QStringList& more)
{
    return QStringList{QStringLiteral("--baud"), QStringLiteral("2000000"), QStringLiteral("--erase-ms"), QStringLiteral("1"),
                       QStringLiteral("--program-ms"), QStringLiteral("1")}
        + more;
}

QString VirtualDevice::argumentValue(const QString& option) const
{
    const qsizetype at = extraArgs.lastIndexOf(option);
    return at >= 0 && at + 1 < extraArgs.size() ? extraArgs.at(at + 1) : QString();
}

QString VirtualDevice::logPath() const
{
    const QString given = argumentValue(QStringLiteral("--log"));
    return given.isEmpty() ? dir.filePath(DefaultLogName) : given;
}

QString VirtualDevice::imagePath() const
{
    const QString given = argumentValue(QStringLiteral("--image"));
    return given.isEmpty() ? dir.filePath(DefaultImageName) : given;
}

qint64 VirtualDevice::processId() const
{
    return process.processId();
}

bool VirtualDevice::isRunning() const
{
    return process.state() == QProcess::Running;
}

bool VirtualDevice::start()
{
    if (!dir.isValid())
        return false;
    // The caller's options come last, so that they win over the fixture's.
    QStringList arguments {QStringLiteral("--log"), dir.filePath(DefaultLogName), QStringLiteral("--image"),
        dir.filePath(DefaultImageName)};
    arguments += extraArgs;
    process.start(programPath(), arguments);
    if (!process.waitForStarted(StartTimeoutMs))
        return false;

    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || process.state() != QProcess::Running)
            return false;
        process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    const QStringList words = QString::fromLocal8Bit(process.readLine()).trimmed().split(QLatin1Char(' '));
    if (words.size() != 3 || words.at(0) != QLatin1String("READY"))
        return false;
    port = words.at(1);
    link = words.at(2);
    return true;
}

void VirtualDevice::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(StopTimeoutMs)) {
        process.kill();
        process.waitForFinished(StopTimeoutMs);
    }
}

bool VirtualDevice::sendSignal(int signalNumber)
{
    const qint64 pid = process.processId();
    return pid > 0 && ::kill(static_cast<pid_t>(pid), signalNumber) == 0;
}

void VirtualDevice::readNewLogLines()
{
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly) || !file.seek(logOffset))
        return;
    const QByteArray fresh = file.readAll();
    logOffset += fresh.size();
    partialLogLine += fresh;
    const qsizetype lastNewline = partialLogLine.lastIndexOf('\n');
    if (lastNewline < 0)
        return;
    for (const QByteArray& line : partialLogLine.left(lastNewline).split('\n'))
        lines.append(QString::fromLatin1(line));
    partialLogLine.remove(0, lastNewline + 1);
}

QStringList VirtualDevice::logLines()
{
    readNewLogLines();
    return lines;
}

int VirtualDevice::logCount(const QString& substring)
{
    readNewLogLines();
    int count = 0;
    for (const QString& line : std::as_const(lines))
        count += line.contains(substring) ? 1 : 0;
    return count;
}

QList<QByteArray> VirtualDevice::receivedFrames()
{
    static const QRegularExpression frameLine(QStringLiteral("^\\S+ RX (?:CMD|PAGE \\d+) ([0-9A-F ]+)$"));
    QList<QByteArray> frames;
    for (const QString& line : logLines()) {
        const QRegularExpressionMatch match = frameLine.match(line);
        if (match.hasMatch())
            frames.append(QByteArray::fromHex(match.captured(1).toLatin1()));
    }
    return frames;
}

bool VirtualDevice::waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(PollIntervalMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool VirtualDevice::waitForLog(const QString& substring, int timeoutMs)
{
    return waitForLogCount(substring, 1, timeoutMs);
}

bool VirtualDevice::waitForLogCount(const QString& substring, int count, int timeoutMs)
{
    return waitUntil([&] { return logCount(substring) >= count; }, timeoutMs);
}

quint32 VirtualDevice::flashBase()
{
    static const QRegularExpression baseWord(QStringLiteral(" flash-base 0x([0-9A-F]+) "));
    for (const QString& line : logLines()) {
        const QRegularExpressionMatch match = baseWord.match(line);
        if (match.hasMatch())
            return match.captured(1).toUInt(nullptr, 16);
    }
    return 0;
}

QByteArray VirtualDevice::flash(quint32 address, int length)
{
    const QString saved = QStringLiteral(" SAVED ");
    const int before = logCount(saved);
    if (!sendSignal(SIGUSR2) || !waitForLogCount(saved, before + 1, ReplyTimeoutMs))
        return {};
    QFile image(imagePath());
    const quint32 base = flashBase();
    if (address < base || !image.open(QIODevice::ReadOnly) || !image.seek(address - base))
        return {};
    return image.read(length);
}

bool VirtualDevice::restartDevice()
{
    const QString restart = QStringLiteral(" RESTART");
    const int before = logCount(restart);
    return sendSignal(SIGUSR1) && waitForLogCount(restart, before + 1, ReplyTimeoutMs);
}

}  // namespace iap::test
