#include "serial/PortOpening.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/file.h>

#include "serial/PortAnnouncement_posix.h"
#endif

namespace iap {

bool openPortForDevice(QSerialPort& port, const QString& portName, int baudRate)
{
#ifdef Q_OS_UNIX
    // A link left by a virtual device that died may lead to a terminal someone else has got since.
    const std::string path = QFile::encodeName(portName).toStdString();
    if (isAnnouncement(path) && !announcedDeviceAlive(path))
        return false;
#endif
    port.setPortName(portName);
    if (!port.open(QIODevice::ReadWrite))
        return false;
#ifdef Q_OS_UNIX
    // The lock keeps out another program that holds the port, whoever runs this one (root passes
    // the terminal's exclusive mode).
    if (flock(int(port.handle()), LOCK_EX | LOCK_NB) != 0) {
        port.close();
        return false;
    }
#endif
    const bool configured = port.setBaudRate(baudRate) && port.setDataBits(QSerialPort::Data8) && port.setParity(QSerialPort::NoParity)
        && port.setStopBits(QSerialPort::OneStop) && port.setFlowControl(QSerialPort::NoFlowControl);
    // Bytes that came before this open belong to an earlier connection (a read given up, say):
    // none of them is a reply to what this one sends.
    if (!configured || !port.clear(QSerialPort::Input)) {
        port.close();
        return false;
    }
    return true;
}

}  // namespace iap
