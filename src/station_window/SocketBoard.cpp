#include "SocketBoard.h"

#include <QGridLayout>
#include <QLabel>
#include <QShortcut>

#include <algorithm>

#include "Named.h"
#include "ScannerKeys.h"
#include "SocketTile.h"
#include "station/Station.h"

namespace iap {

SocketBoard::SocketBoard(Station& boardStation, QWidget& boardWindow)
    : station(boardStation), window(boardWindow), tileGrid(new QGridLayout), verdict(named(new QLabel(&window), "scanVerdict")),
      scanner(new ScannerKeys(window))
{
    for (int number = 1; number <= NumberedSockets; ++number) {
        numberKeys.push_back(new QShortcut(QKeySequence(Qt::Key_0 + number), &window));
        connect(numberKeys.back(), &QShortcut::activated, this, [this, number] {
            if (number <= int(shown.size()))
                shown[std::size_t(number - 1)]->socket().start();
        });
    }
    connect(&station, &Station::jobChanged, this, &SocketBoard::listenForCodes);
    connect(scanner, &ScannerKeys::scanned, this, &SocketBoard::scanned);
}

void SocketBoard::add(Socket& socket)
{
    auto* tile = new SocketTile(socket, &window);
    connect(tile, &SocketTile::removeRequested, this, [this, tile] { remove(tile); });
    connect(tile, &SocketTile::triggerChosen, this, &SocketBoard::changed);
    connect(tile, &SocketTile::clicked, this, [this, tile] {
        if (station.needsBarcodes())
            choose(tile == chosen ? nullptr : tile);
    });
    shown.push_back(tile);
    place();
}

void SocketBoard::remove(SocketTile* tile)
{
    if (tile == chosen)
        choose(nullptr);
    shown.erase(std::find(shown.begin(), shown.end(), tile));
    station.removeSocket(tile->socket());
    tile->deleteLater();
    place();
    emit changed();
}

void SocketBoard::place()
{
    for (std::size_t i = 0; i < shown.size(); ++i) {
        shown[i]->setNumber(int(i) + 1);
        tileGrid->addWidget(shown[i], int(i) / TilesPerRow, int(i) % TilesPerRow);
    }
}

void SocketBoard::listenForCodes()
{
    const bool codes = station.needsBarcodes();
    scanner->setListening(codes);
    for (QShortcut* key : numberKeys)
        key->setEnabled(!codes);
    if (!codes)
        choose(nullptr);
    verdict->clear();
}

void SocketBoard::choose(SocketTile* tile)
{
    if (chosen)
        chosen->setChosen(false);
    chosen = tile;
    if (chosen)
        chosen->setChosen(true);
}

void SocketBoard::scanned(const QString& code)
{
    verdict->setText(station.scan(code, chosen ? &chosen->socket() : nullptr));
    choose(nullptr);
}

}  // namespace iap
