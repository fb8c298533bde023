#pragma once

#include <QString>
#include <QStringList>

namespace iap {

// Where a port that a person names may appear, as the system opens such a name: a path as it is
// given, made absolute; a plain name as the device of that name (/dev/ttyUSB0) or as the virtual
// device announced under it. A port named before it is plugged in is waited for there, never as
// a file of the working folder.
QStringList pathsForPortName(const QString& name);
// Why the name can never be a port, as a sentence: it names something that is there and is no
// terminal (a file, a folder). Empty when it may be one, now or once it appears.
QString notAPort(const QString& name);
// A terminal is there under the name now (where the system cannot tell, as on Windows: true).
bool portPresent(const QString& name);

}  // namespace iap
