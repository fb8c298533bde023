#pragma once

#include <QString>

#include "serial/PortInfo.h"
#include "serial/PortSource.h"

namespace iap {

// The port at `path` as the system lists it now, opened at that path: its name, its links and
// the identity of the adapter behind it, which a board that brings its own adapter changes at
// every plug. A port the system does not list (a path of a test's) is `bound` opened at the path.
PortInfo portNow(const PortInfo& bound, const QString& path, PortSource& system);

}  // namespace iap
