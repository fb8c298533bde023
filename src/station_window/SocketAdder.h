#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "serial/PortDiscovery.h"

class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QWidget;

namespace iap {

// Adds a port as a socket: the ports listed, the one offered first being the one the classic
// window offers, and the socket's name; without one it is named by its port.
class SocketAdder : public QObject {
    Q_OBJECT

public:
    SocketAdder(std::unique_ptr<PortSource> ports, QWidget& window);

    // The row, with its buttons: they are made after every field of the window's rows, so that
    // Tab goes through the fields first.
    QHBoxLayout* layOut();
    void listPorts();

signals:
    void added(const QString& name, const PortInfo& port);

private:
    void add();

    QWidget& window;
    PortDiscovery discovery;
    QComboBox* portList;
    QLineEdit* socketName;
};

}  // namespace iap
