#include "VirtualMachine.h"

#include "Device.h"
#include "Wait.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace iap::test {
namespace {

const QString BenchDir = QStringLiteral(IAP_VM_DIR);

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

QString VirtualMachine::unavailable()
{
    if (QFileInfo::exists(BenchDir + QStringLiteral("/ready")))
        return {};
    const QString why = readAll(BenchDir + QStringLiteral("/unavailable")).trimmed();
    return QStringLiteral("virtual machine bench unavailable: ")
        + (why.isEmpty() ? QStringLiteral("not prepared (scripts/vm-bench.sh prepare %1)").arg(BenchDir) : why);
}

VirtualMachine::VirtualMachine(const QString& guestCase) : guestCase(QDir(QStringLiteral(IAP_VM_JOBS)).filePath(guestCase))
{
    qemu.setProcessChannelMode(QProcess::MergedChannels);
    qemu.setStandardOutputFile(dir.filePath(QStringLiteral("qemu.log")));
    QDir(dir.path()).mkdir(QStringLiteral("results"));
    environment << QStringLiteral("IAP_CLI=%1").arg(QStringLiteral(IAP_CLI_PATH)) << QStringLiteral("IAP_SIM=%1").arg(QStringLiteral(IAP_SIM_PATH))
                << QStringLiteral("IAP_APP=%1").arg(QStringLiteral(IAP_APP_PATH)) << QStringLiteral("IAP_VM_WINDOW=%1").arg(QStringLiteral(IAP_VM_WINDOW));
}

VirtualMachine::~VirtualMachine()
{
    if (qemu.state() != QProcess::NotRunning) {
        qemu.kill();
        qemu.waitForFinished();
    }
}

int VirtualMachine::addAdapter(const VirtualDevice& device, const QString& serial)
{
    adapters << serial + u'@' + device.portPath();
    return int(adapters.size()) - 1;
}

void VirtualMachine::setEnvironment(const QString& name, const QString& value)
{
    environment << name + u'=' + value;
}

bool VirtualMachine::start()
{
    QSaveFile env(resultPath(QStringLiteral("env")));
    if (!env.open(QIODevice::WriteOnly))
        return false;
    for (const QString& line : environment)
        env.write(QStringLiteral("export %1\n").arg(line).toUtf8());
    if (!env.commit())
        return false;
    qemu.start(QStringLiteral(IAP_VM_SCRIPT), QStringList{QStringLiteral("boot"), BenchDir, dir.filePath(QStringLiteral("results")),
                                                           dir.filePath(QStringLiteral("qmp")), guestCase} + adapters);
    return qemu.waitForStarted() && connectMonitor();
}

bool VirtualMachine::connectMonitor()
{
    // QEMU makes the socket's file a moment before it listens on it: a refusal is tried again.
    const QString socket = dir.filePath(QStringLiteral("qmp"));
    const bool connected = waitUntil([&] {
        if (qemu.state() == QProcess::NotRunning)
            return true;
        monitor.connectToServer(socket);
        if (monitor.waitForConnected(BootMs))
            return true;
        monitor.abort();
        return false;
    }, BootMs);
    if (!connected || monitor.state() != QLocalSocket::ConnectedState || nextMessage(BootMs).isEmpty())
        return false;
    return command(QStringLiteral("qmp_capabilities")).contains(QStringLiteral("return"));
}

QJsonObject VirtualMachine::nextMessage(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!monitor.canReadLine()) {
        if (deadline.hasExpired() || !monitor.waitForReadyRead(int(deadline.remainingTime())))
            return {};
    }
    return QJsonDocument::fromJson(monitor.readLine()).object();
}

QJsonObject VirtualMachine::command(const QString& name, const QJsonObject& arguments)
{
    QJsonObject request{{QStringLiteral("execute"), name}};
    if (!arguments.isEmpty())
        request.insert(QStringLiteral("arguments"), arguments);
    monitor.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    for (;;) {
        const QJsonObject reply = nextMessage(BootMs);
        // What went wrong goes into the test's output.
        if (reply.isEmpty() || reply.contains(QStringLiteral("error"))) {
            const bool ended = qemu.state() == QProcess::NotRunning || qemu.waitForFinished(5000);
            qWarning("QMP %s: %s; QEMU %s (%s %d); the guest's console ends: %s", qPrintable(name),
                     reply.isEmpty() ? qPrintable(monitor.errorString()) : QJsonDocument(reply).toJson(QJsonDocument::Compact).constData(),
                     ended ? "has ended" : "runs", qemu.exitStatus() == QProcess::CrashExit ? "signal" : "code", qemu.exitCode(),
                     qPrintable(console().right(1500)));
        }
        if (reply.isEmpty() || reply.contains(QStringLiteral("return")) || reply.contains(QStringLiteral("error")))
            return reply;
        events << reply;
    }
}

bool VirtualMachine::awaitEvent(const QString& event, const QString& device, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (qsizetype i = 0; i < events.size(); ++i) {
            const QJsonObject& seen = events[i];
            if (seen.value(QStringLiteral("event")).toString() == event
                && seen.value(QStringLiteral("data")).toObject().value(QStringLiteral("device")).toString() == device) {
                events.removeAt(i);
                return true;
            }
        }
        const QJsonObject next = nextMessage(int(deadline.remainingTime()));
        if (next.isEmpty()) {
            qWarning("QMP: no %s event for %s (%s); the guest's console ends: %s", qPrintable(event), qPrintable(device), qPrintable(monitor.errorString()),
                     qPrintable(console().right(1500)));
            return false;
        }
        events << next;
    }
}

bool VirtualMachine::plug(int adapter, const QString& serial)
{
    const QJsonObject reply = command(QStringLiteral("device_add"),
                                      {{QStringLiteral("driver"), QStringLiteral("usb-serial")},
                                       {QStringLiteral("id"), QStringLiteral("a%1").arg(adapter)},
                                       {QStringLiteral("bus"), QStringLiteral("xhci.0")},
                                       {QStringLiteral("port"), QString::number(adapter + 1)},
                                       {QStringLiteral("chardev"), QStringLiteral("s%1").arg(adapter)},
                                       {QStringLiteral("serial"), serial}});
    return reply.contains(QStringLiteral("return"));
}

bool VirtualMachine::unplug(int adapter)
{
    const QString id = QStringLiteral("a%1").arg(adapter);
    return command(QStringLiteral("device_del"), {{QStringLiteral("id"), id}}).contains(QStringLiteral("return"))
        && awaitEvent(QStringLiteral("DEVICE_DELETED"), id, BootMs);
}

bool VirtualMachine::finish(int timeoutMs)
{
    return qemu.state() == QProcess::NotRunning || qemu.waitForFinished(timeoutMs);
}

int VirtualMachine::caseStatus() const
{
    const QString text = readAll(resultPath(QStringLiteral("case.status"))).trimmed();
    bool ok = false;
    const int status = text.toInt(&ok);
    return ok ? status : -1;
}

QString VirtualMachine::caseLog() const
{
    return readAll(resultPath(QStringLiteral("case.log")));
}

QString VirtualMachine::console() const
{
    return readAll(resultPath(QStringLiteral("console.log"))) + readAll(dir.filePath(QStringLiteral("qemu.log")));
}

QString VirtualMachine::resultPath(const QString& name) const
{
    return dir.filePath(QStringLiteral("results/") + name);
}

QByteArray VirtualMachine::result(const QString& name) const
{
    QFile file(resultPath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool VirtualMachine::waitForResult(const QString& name, int timeoutMs)
{
    return waitUntil([&] { return QFileInfo::exists(resultPath(name)) || qemu.state() == QProcess::NotRunning; }, timeoutMs)
        && QFileInfo::exists(resultPath(name));
}

QString VirtualMachine::text(const QString& name) const
{
    return QString::fromUtf8(result(name)).trimmed();
}

QList<QJsonObject> VirtualMachine::jsonLines(const QString& name) const
{
    QList<QJsonObject> objects;
    for (const QByteArray& line : result(name).split('\n'))
        if (!line.trimmed().isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    return objects;
}

QString VirtualMachine::failedRun(const QStringList& runs, int status) const
{
    for (const QString& run : runs)
        if (text(run + QStringLiteral(".status")) != QString::number(status))
            // A failure's message is cut short: the end of the run's output tells most.
            return QStringLiteral("%1: exit %2, not %3: ...%4 %5")
                .arg(run, text(run + QStringLiteral(".status")))
                .arg(status)
                .arg(text(run + QStringLiteral(".out")).right(600), text(run + QStringLiteral(".err")).right(200));
    return {};
}

QString VirtualMachine::runCase(int timeoutMs)
{
    if (!start() || !finish(timeoutMs))
        return QStringLiteral("the guest did not run its case: ") + console().right(3000);
    return caseStatus() == 0 ? QString() : QStringLiteral("the case failed: ") + caseLog() + console().right(3000);
}

void VirtualMachine::tell(const QString& name, const QByteArray& content)
{
    QSaveFile file(resultPath(name));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content);
        file.commit();
    }
}

}  // namespace iap::test
