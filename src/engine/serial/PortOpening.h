#pragma once

#include <QSerialPort>
#include <QString>

namespace iap {

// Opens the port for this program alone at the rate, 8 data bits, no parity, 1 stop bit, no flow
// control, with nothing in it of what came before the open. False, and the port closed, when any
// of it fails.
bool openPortForDevice(QSerialPort& port, const QString& portName, int baudRate);

}  // namespace iap
