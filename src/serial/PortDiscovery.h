#pragma once

#include <QString>
#include <QStringList>

#include <memory>

#include "serial/PortSource.h"

namespace iap {

// Which serial ports exist and which of them to offer first.
// An entry is the port name, two spaces and the device name. Nothing here ever throws.
class PortDiscovery {
public:
    explicit PortDiscovery(std::unique_ptr<PortSource> source);

    // Rebuilds PortEntries from the source and returns a copy of it.
    QStringList EnumSerialPorts();

    // Index 0: a copy of the preferred entry, or the empty text when no entry qualifies;
    // then every accepted port in the source's order.
    QStringList PortEntries{QString()};

private:
    void accept(PortValue value, PortNameRules rules);

    std::unique_ptr<PortSource> source;
};

// The port name of an entry: its text before the two spaces (the whole text when it has none).
QString portNameOfEntry(const QString& entry);

}  // namespace iap
