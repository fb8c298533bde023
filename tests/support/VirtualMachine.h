#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace iap::test {

class VirtualDevice;

// One guest of the virtual machine bench (scripts/vm-bench.sh): Debian's kernel with udev, whose
// USB-serial adapters are emulated FT232 chips, each wired to a virtual device on this machine.
// The guest runs one case, a shell script of scripts/vm/jobs, with this machine's build; the
// case and the test speak through files in the shared folder (/results in the guest): the case
// writes what it saw, and waits for the files the test tells it. QMP plugs and unplugs the
// adapters.
class VirtualMachine {
public:
    // Far longer than a boot under software emulation (about 10 s), for a machine that is busy.
    static constexpr int BootMs = 120000;

    // Why no guest boots here (the bench is not prepared, or QEMU cannot run); empty when one can.
    static QString unavailable();

    // The case: a file of scripts/vm/jobs, or a path.
    explicit VirtualMachine(const QString& guestCase);
    ~VirtualMachine();
    VirtualMachine(const VirtualMachine&) = delete;
    VirtualMachine& operator=(const VirtualMachine&) = delete;

    // An FT232 on the next xHCI port, its UART wired to the device's terminal; plugged in at boot
    // under that USB serial number, or left out until plug() when it is empty. Its index counts
    // from 0.
    int addAdapter(const VirtualDevice& device, const QString& serial);
    // A variable for the case, beside IAP_CLI, IAP_SIM, IAP_APP and IAP_VM_WINDOW (the programs'
    // paths; the last drives the classic window, tests/vm/window.cpp).
    void setEnvironment(const QString& name, const QString& value);

    bool start();
    // The guest's USB connect and disconnect of an adapter (with udev's add and remove events).
    bool plug(int adapter, const QString& serial);
    bool unplug(int adapter);
    // Until the guest has powered off.
    bool finish(int timeoutMs);

    // The case's exit status; -1 while it has not ended.
    int caseStatus() const;
    // What the case printed, and the guest's console, for a failure's message.
    QString caseLog() const;
    QString console() const;

    QString resultPath(const QString& name) const;
    QByteArray result(const QString& name) const;
    // The file as text without its surrounding white space; as one JSON object a line.
    QString text(const QString& name) const;
    QList<QJsonObject> jsonLines(const QString& name) const;
    // Of the runs the case recorded, the first that did not end with that exit status, with its
    // output; empty when all did.
    QString failedRun(const QStringList& runs, int status) const;
    // Boots the guest and waits until it has run its case; empty, or what went wrong.
    QString runCase(int timeoutMs);
    bool waitForResult(const QString& name, int timeoutMs);
    // A file the case waits for.
    void tell(const QString& name, const QByteArray& content = {});

private:
    bool connectMonitor();
    QJsonObject command(const QString& name, const QJsonObject& arguments = {});
    bool awaitEvent(const QString& event, const QString& device, int timeoutMs);
    QJsonObject nextMessage(int timeoutMs);

    QString guestCase;
    QTemporaryDir dir;
    QStringList adapters;
    QStringList environment;
    QProcess qemu;
    QLocalSocket monitor;
    QList<QJsonObject> events;
};

}  // namespace iap::test
