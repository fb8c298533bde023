#include "production/StepPort.h"

#include "session/Connection.h"

namespace iap {

StepPort::StepPort(Connection& link, Use portUse, QObject* parent) : QObject(parent), connection(link), use(portUse)
{
    connect(&connection, &Connection::opened, this, &StepPort::opened);
}

void StepPort::openThen(const PortInfo& port, DeviceModel model, std::function<void(bool)> then)
{
    afterOpen = std::move(then);
    if (use == Use::HeldByCaller)
        opened(connection.isOpen());
    else
        connection.openInBackground(port.path(), model);
}

void StepPort::opened(bool ok)
{
    if (const auto then = std::exchange(afterOpen, nullptr))
        then(ok);
}

void StepPort::close()
{
    if (use == Use::OpenedForEachStep)
        connection.close();
}

}  // namespace iap
