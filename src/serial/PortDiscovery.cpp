#include "serial/PortDiscovery.h"

#include <utility>

namespace iap {

namespace {

constexpr QLatin1String EntrySeparator("  ");

// USB adapters, virtual COM ports and serial devices are the ones a technician plugs the
// device into, so the last of them listed is offered first.
bool isPreferredDevice(const QString& deviceName)
{
    for (const char* mark : {"USB", "VCP", "SER"}) {
        if (deviceName.contains(QLatin1String(mark), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

}  // namespace

PortDiscovery::PortDiscovery(std::unique_ptr<PortSource> source)
    : source(std::move(source))
{
}

QStringList PortDiscovery::EnumSerialPorts()
{
    PortEntries = QStringList{QString()};
    try {
        if (source) {
            const PortNameRules rules = source->nameRules();
            for (PortValue& value : source->values())
                accept(std::move(value), rules);
        }
    } catch (...) {
        // The window needs a port list whatever the system did: a failing source lists
        // what had been accepted before it failed.
    }
    return PortEntries;
}

void PortDiscovery::accept(PortValue value, PortNameRules rules)
{
    if (rules == PortNameRules::Registry) {
        value.portName = value.portName.toUpper();
        value.deviceName = value.deviceName.toUpper();
        if (!value.portName.contains(QLatin1String("COM")))
            return;
    }
    const QString entry = value.portName + EntrySeparator + value.deviceName;
    PortEntries.append(entry);
    if (isPreferredDevice(value.deviceName))
        PortEntries[0] = entry;
}

QString portNameOfEntry(const QString& entry)
{
    const qsizetype separator = entry.indexOf(EntrySeparator);
    return separator < 0 ? entry : entry.left(separator);
}

}  // namespace iap
