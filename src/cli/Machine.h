#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "serial/PortInfo.h"

namespace iap::cli {

// What `doctor` asks of the machine it runs on.
class Machine {
public:
    virtual ~Machine() = default;
    virtual std::vector<PortInfo> ports() = 0;
    virtual QString userName() = 0;
    // This user may open the port for reading and writing.
    virtual bool mayOpen(const QString& path) = 0;
    // The user and the group that own the port's device ("root", "dialout"), and its permission
    // bits (0660).
    virtual QString ownerOf(const QString& path) = 0;
    virtual QString groupOf(const QString& path) = 0;
    virtual int modeOf(const QString& path) = 0;
    // The package's udev rule as udev reads it, which gives the user logged in at the seat the
    // ports of USB serial adapters, keeps ModemManager off them and sets FTDI adapters' latency
    // timer to 1 ms; empty when no such rule is in place.
    virtual QString accessRule() = 0;
    // The user is in the group as the system's files record it, and in this login session.
    virtual bool recordedInGroup(const QString& group) = 0;
    virtual bool sessionInGroup(const QString& group) = 0;
    // The udev rule files of brltty that claim USB serial adapters (CH340, CP210x).
    virtual QStringList brlttyRulesForSerialAdapters() = 0;
    virtual bool modemManagerRunning() = 0;
    // The file that holds an FTDI adapter's latency timer (how long it holds bytes before it
    // delivers fewer than a packet), in ms; empty when the port's adapter has none.
    virtual QString latencyTimerFile(const PortInfo& port) = 0;
    virtual int latencyTimerMs(const QString& file) = 0;
    virtual bool soundDevicePresent() = 0;
    // The folder where virtual devices announce themselves, and whether it is this user's alone;
    // empty when it does not exist yet.
    virtual QString announcementFolder() = 0;
    virtual bool announcementFolderPrivate() = 0;
};

std::unique_ptr<Machine> makeSystemMachine();

}  // namespace iap::cli
