#pragma once

#include <QObject>

#include <functional>

#include "device/DeviceProfile.h"
#include "serial/PortInfo.h"

namespace iap {

class Connection;

// The port a run's steps go out on: opened afresh for each step, or held by the run's caller.
class StepPort : public QObject {
    Q_OBJECT

public:
    enum class Use {
        // Each step opens the port afresh, without holding the thread up, and the port is closed
        // after each step and at the run's end (iap-cli and the station).
        OpenedForEachStep,
        // The caller opens and closes the port; each step runs on it as it is (the classic window,
        // whose user opens the port with the operation's button and keeps it after a failure).
        HeldByCaller,
    };

    StepPort(Connection& connection, Use use, QObject* parent = nullptr);

    // The port ready for a step, then `then` with whether it is; a held port that is not open is
    // not. Nothing follows when the connection is opened or closed again meanwhile, or after
    // cancel().
    void openThen(const PortInfo& port, const DeviceProfile& device, std::function<void(bool ready)> then);
    void cancel() { afterOpen = nullptr; }
    // A step or the run has ended.
    void close();

private:
    void opened(bool ok);

    Connection& connection;
    const Use use;
    std::function<void(bool)> afterOpen;
};

}  // namespace iap
