#include "production/StepPort.h"

#include "session/Connection.h"

namespace iap {

StepPort::StepPort(Connection& link, Use portUse, QObject* parent) : QObject(parent), connection(link), use(portUse)
{
    connect(&connection, &Connection::opened, this, &StepPort::opened);
}

void StepPort::openThen(const PortInfo& port, const DeviceProfile& device, std::function<void(bool)> then)
{
    afterOpen = std::move(then);
    if (use == Use::HeldByCaller)
        opened(connection.isOpen());
    else
        connection.openInBackground(port.path(), device);
}

void StepPort::opened(bool ok)
{
    // A port opened for the step is polled as briskly as a fresh one: a read's slow pace left
    // from the step before would see a download's erase report up to a second late.
    if (ok && use == Use::OpenedForEachStep)
        connection.pollEvery(Connection::StartPollIntervalMs);
    if (const auto then = std::exchange(afterOpen, nullptr))
        then(ok);
}

void StepPort::close()
{
    if (use == Use::OpenedForEachStep)
        connection.close();
}

}  // namespace iap
