#include "PortControls.h"

#include <QComboBox>

#include "BootloaderLink.h"
#include "Controls.h"
#include "ModelChoice.h"
#include "OperationDisplay.h"

namespace iap {

PortControls::PortControls(const Controls& shown, BootloaderLink& link, OperationDisplay& display, std::unique_ptr<PortSource> ports)
    : controls(shown), link(link), display(display), discovery(std::move(ports))
{
}

void PortControls::open()
{
    // The whole port name, not its first four characters: COM10 and Linux names need it all.
    if (link.open(controls.portList->currentData().toString(), chosenModel(controls)))
        display.setStatus(QStringLiteral("CommPort:") + controls.portList->currentData(PortNameRole).toString());
}

void PortControls::close()
{
    link.close();
}

void PortControls::listPorts()
{
    QComboBox* list = controls.portList;
    list->clear();
    const PortListing listing = discovery.list();
    // Item 0 repeats the preferred port, or is empty when there is none; the list proper follows.
    const auto add = [list](const std::optional<PortInfo>& port) {
        list->addItem(port ? listedText(*port) : QString(), port ? port->path() : QString());
        list->setItemData(list->count() - 1, port ? port->name() : QString(), PortNameRole);
    };
    add(listing.preferred);
    for (const PortInfo& port : listing.ports)
        add(port);
    if (list->count() > 0)
        list->setCurrentIndex(0);
}

void PortControls::firstModelToggled(bool selected)
{
    if (selected)
        open();
}

}  // namespace iap
