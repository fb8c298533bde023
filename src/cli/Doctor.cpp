#include "Doctor.h"

#include "Machine.h"

namespace iap::cli {

void Diagnosis::note(const QString& line)
{
    text += line + u'\n';
}

void Diagnosis::problem(const QString& what, const QString& fix)
{
    ++problems;
    text += QStringLiteral("PROBLEM: %1\n  fix: %2\n").arg(what, fix);
}

Diagnosis Diagnosis::of(Machine& machine)
{
    Diagnosis diagnosis;
    const std::vector<PortInfo> ports = machine.ports();
    if (ports.empty())
        diagnosis.problem(QStringLiteral("no serial port is visible"),
                          QStringLiteral("plug in the adapter, then run iap-cli doctor again; a virtual device: iap-sim &"));
    for (const PortInfo& port : ports) {
        if (machine.mayOpen(port.path())) {
            diagnosis.note(QStringLiteral("ok: %1 (%2) can be opened").arg(port.name(), port.path()));
            continue;
        }
        const QString group = machine.groupOf(port.path());
        const QString user = machine.userName();
        const QString fix = !machine.recordedInGroup(group)
            ? QStringLiteral("sudo usermod -aG %1 $USER   then log out and in again: the group counts from the next login").arg(group)
            : !machine.sessionInGroup(group) ? QStringLiteral("log out and in again: %1 joined %2 after this login began").arg(user, group)
                                             : QStringLiteral("sudo setfacl -m u:%1:rw %2").arg(user, port.path());
        diagnosis.problem(QStringLiteral("%1 (%2) belongs to the group %3, and %4 may not open it").arg(port.name(), port.path(), group, user), fix);
    }
    for (const PortInfo& port : ports) {
        const QString timer = machine.latencyTimerFile(port);
        if (timer.isEmpty() || machine.latencyTimerMs(timer) <= 1)
            continue;
        diagnosis.problem(QStringLiteral("%1 (%2) holds what the device sends for up to %3 ms before it delivers it (its latency timer): every "
                                         "reply comes that much later")
                              .arg(port.name(), port.path())
                              .arg(machine.latencyTimerMs(timer)),
                          QStringLiteral("echo 1 | sudo tee %1   (until the adapter is plugged in again; for good, a udev rule: "
                                         "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\")")
                              .arg(timer));
    }
    for (const QString& rules : machine.brlttyRulesForSerialAdapters())
        diagnosis.problem(QStringLiteral("brltty's rules in %1 claim USB serial adapters (CH340, CP210x) for braille displays: the port vanishes as soon as it appears").arg(rules),
                          QStringLiteral("sudo apt remove brltty   (or, with a braille display in use, comment out the adapters' lines in %1)").arg(rules));
    if (machine.modemManagerRunning())
        diagnosis.problem(QStringLiteral("ModemManager is running: it probes new ttyACM ports with AT commands and holds them meanwhile"),
                          QStringLiteral("sudo systemctl disable --now ModemManager"));
    if (!machine.soundDevicePresent())
        diagnosis.note(QStringLiteral("note: no sound device: the tone after a download stays silent"));
    const QString folder = machine.announcementFolder();
    if (!folder.isEmpty() && !machine.announcementFolderPrivate())
        diagnosis.problem(QStringLiteral("the virtual devices' folder %1 is not this user's alone: its devices are ignored").arg(folder),
                          QStringLiteral("chmod 700 %1   (it must belong to %2)").arg(folder, machine.userName()));
    diagnosis.note(diagnosis.clean() ? QStringLiteral("Nothing stands in the way.") : QStringLiteral("%1 thing(s) stand in the way.").arg(diagnosis.problems));
    return diagnosis;
}

}  // namespace iap::cli
