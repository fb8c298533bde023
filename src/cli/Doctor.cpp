#include "Doctor.h"

#include "Machine.h"

namespace iap::cli {
namespace {

// Where the iap package puts its udev rule.
const QString PackagedRule = QStringLiteral("/lib/udev/rules.d/60-iap.rules");

bool administratorsGroup(const QString& group)
{
    return group.isEmpty() || group == QLatin1String("root") || group == QLatin1String("0");
}

// What lets the user open a port the user may not. Joining the port's group helps only when the
// group may read and write it, and is never advised for root's group; where the package's rule
// is in place, the seat's user is given USB adapters' ports without any group, but the rule
// gives out no port of the machine itself (ttyS0).
QString accessFix(Machine& machine, const PortInfo& port, const QString& rule)
{
    const QString user = machine.userName();
    const QString group = machine.groupOf(port.path());
    const QString acl = QStringLiteral("sudo setfacl -m u:%1:rw %2").arg(user, port.path());
    const bool groupMayOpen = (machine.modeOf(port.path()) & 0060) == 0060 && !administratorsGroup(group);
    if (groupMayOpen && (rule.isEmpty() || !port.vendorId())) {
        if (!machine.recordedInGroup(group))
            return QStringLiteral("sudo usermod -aG %1 $USER   then log out and in again: the group counts from the next login").arg(group);
        if (!machine.sessionInGroup(group))
            return QStringLiteral("log out and in again: %1 joined %2 after this login began").arg(user, group);
        return acl;
    }
    if (port.vendorId() && rule.isEmpty())
        return QStringLiteral("install the iap package: its udev rule %1 gives the ports of USB serial adapters to the user logged in "
                              "at the seat; then plug the adapter in again. At once, until it is unplugged: %2")
            .arg(PackagedRule, acl);
    if (port.vendorId())
        return QStringLiteral("plug the adapter in again: the udev rule %1 gives its port to the user logged in at the seat as it "
                              "appears. In a login without a seat (ssh), until it is unplugged: %2")
            .arg(rule, acl);
    return QStringLiteral("a udev rule that gives the port to the user logged in at the seat: echo 'KERNEL==\"%1\", TAG+=\"uaccess\"' "
                          "| sudo tee /etc/udev/rules.d/60-iap-%1.rules && sudo udevadm trigger --sysname-match=%1   "
                          "At once, until the next boot: %2")
        .arg(port.name(), acl);
}

}  // namespace

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
    const QString rule = machine.accessRule();
    if (ports.empty())
        diagnosis.problem(QStringLiteral("no serial port is visible"),
                          QStringLiteral("plug in the adapter, then run iap-cli doctor again; a virtual device: iap-sim &"));
    for (const PortInfo& port : ports) {
        if (machine.mayOpen(port.path())) {
            diagnosis.note(QStringLiteral("ok: %1 (%2) can be opened").arg(port.name(), port.path()));
            continue;
        }
        diagnosis.problem(QStringLiteral("%1 (%2) belongs to the user %3 and the group %4 with mode %5, and %6 may not open it")
                              .arg(port.name(), port.path(), machine.ownerOf(port.path()), machine.groupOf(port.path()))
                              .arg(machine.modeOf(port.path()), 4, 8, QLatin1Char('0'))
                              .arg(machine.userName()),
                          accessFix(machine, port, rule));
    }
    for (const PortInfo& port : ports) {
        const QString timer = machine.latencyTimerFile(port);
        if (timer.isEmpty() || machine.latencyTimerMs(timer) <= 1)
            continue;
        const QString what = QStringLiteral("%1 (%2) holds what the device sends for up to %3 ms before it delivers it (its latency timer): "
                                            "every reply comes that much later")
                                 .arg(port.name(), port.path())
                                 .arg(machine.latencyTimerMs(timer));
        if (!rule.isEmpty()) {
            diagnosis.problem(what, QStringLiteral("plug the adapter in again: the udev rule %1 sets its latency timer to 1 ms as it appears").arg(rule));
            continue;
        }
        diagnosis.problem(what,
                          QStringLiteral("echo 1 | sudo tee %1   (until the adapter is plugged in again; for good, a udev rule: "
                                         "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\")")
                              .arg(timer));
    }
    for (const QString& rules : machine.brlttyRulesForSerialAdapters())
        diagnosis.problem(QStringLiteral("brltty's rules in %1 claim USB serial adapters (CH340, CP210x) for braille displays: the port vanishes as soon as it appears").arg(rules),
                          QStringLiteral("sudo apt remove brltty   (or, with a braille display in use, comment out the adapters' lines in %1)").arg(rules));
    if (machine.modemManagerRunning() && !rule.isEmpty())
        diagnosis.note(QStringLiteral("ok: ModemManager is running, and the udev rule %1 keeps it off the ports of USB serial adapters").arg(rule));
    else if (machine.modemManagerRunning())
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
