#pragma once

#include <QString>

namespace iap {

// The line settings each device model speaks, as the port's settings text.
inline const QString Hx300Settings = QStringLiteral("115200,n,8,1");
inline const QString Vr200Settings = QStringLiteral("38400,n,8,1");

}  // namespace iap
