#include "SocketAdder.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Named.h"

namespace iap {

SocketAdder::SocketAdder(std::unique_ptr<PortSource> ports, QWidget& adderWindow)
    : window(adderWindow), discovery(std::move(ports)), portList(named(new QComboBox(&window), "ports")),
      socketName(named(new QLineEdit(&window), "socketName"))
{
    socketName->setPlaceholderText(QStringLiteral("e.g. Fixture A1"));
    socketName->setToolTip(QStringLiteral("The socket's name; without one it is named by its port"));
    portList->setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

QHBoxLayout* SocketAdder::layOut()
{
    auto* addButton = named(new QPushButton(QStringLiteral("Add socket"), &window), "addSocket");
    auto* listButton = named(new QPushButton(QStringLiteral("Seek ports"), &window), "seekPorts");
    auto* sockets = new QHBoxLayout;
    sockets->addWidget(new QLabel(QStringLiteral("Port"), &window));
    sockets->addWidget(portList, 1);
    sockets->addWidget(listButton);
    sockets->addWidget(new QLabel(QStringLiteral("Name"), &window));
    sockets->addWidget(socketName);
    sockets->addWidget(addButton);
    connect(listButton, &QPushButton::clicked, this, &SocketAdder::listPorts);
    connect(addButton, &QPushButton::clicked, this, &SocketAdder::add);
    return sockets;
}

// The port offered first is the one the classic window offers.
void SocketAdder::listPorts()
{
    portList->clear();
    const PortListing listing = discovery.list();
    for (const PortInfo& port : listing.ports) {
        portList->addItem(listedText(port), QVariant::fromValue(port));
        if (listing.preferred && port.path() == listing.preferred->path())
            portList->setCurrentIndex(portList->count() - 1);
    }
}

void SocketAdder::add()
{
    const int index = portList->currentIndex();
    if (index < 0)
        return;
    const PortInfo port = portList->itemData(index).value<PortInfo>();
    emit added(socketName->text().trimmed().isEmpty() ? port.name() : socketName->text().trimmed(), port);
    socketName->clear();
}

}  // namespace iap
