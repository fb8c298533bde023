#pragma once

#include <QObject>

#include <memory>

#include "serial/PortDiscovery.h"

namespace iap {

class BootloaderLink;
class OperationDisplay;
struct Controls;

// The connection row: the port list, the device model, "Open", "Close" and "Seek-Com".
class PortControls : public QObject {
    Q_OBJECT

public:
    // The port list's items hold the path that opens their port as their data, and its name in this role.
    static constexpr int PortNameRole = Qt::UserRole + 1;

    PortControls(const Controls& controls, BootloaderLink& link, OperationDisplay& display, std::unique_ptr<PortSource> ports);

public slots:
    // "Open", and every operation as it starts: closes, then opens the chosen port for the chosen
    // model; polling runs exactly when it opened.
    void open();
    // "Close": flushes and closes the port and stops polling; the status box keeps its text.
    void close();
    // "Seek-Com", start-up: refills the list with a fresh enumeration and selects its item 0.
    // An open port stays open.
    void listPorts();
    // The first model's option (HX300's) became selected: the port is reopened for it. The
    // others' do not reopen it, as they never did.
    void firstModelToggled(bool selected);

private:
    const Controls& controls;
    BootloaderLink& link;
    OperationDisplay& display;
    PortDiscovery discovery;
};

}  // namespace iap
