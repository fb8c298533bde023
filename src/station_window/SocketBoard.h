#pragma once

#include <QObject>

#include <vector>

class QGridLayout;
class QLabel;
class QShortcut;
class QWidget;

namespace iap {

class ScannerKeys;
class Socket;
class SocketTile;
class Station;

// The sockets' tiles, in rows, and the keys that act on them: keys 1 to 9 start the round of the
// socket with that number, unless the job needs a code for each board: then the keys are a
// barcode scanner's (a code's digits would start sockets), and the code goes to the tile chosen.
class SocketBoard : public QObject {
    Q_OBJECT

public:
    static constexpr int NumberedSockets = 9;
    static constexpr int TilesPerRow = 4;

    // The tiles and the verdict on the last code go into the window, where the window lays them.
    SocketBoard(Station& station, QWidget& window);

    QGridLayout* grid() const { return tileGrid; }
    QLabel* scanVerdict() const { return verdict; }
    void add(Socket& socket);
    const std::vector<SocketTile*>& tiles() const { return shown; }

signals:
    // A tile was removed, or its socket's trigger chosen.
    void changed();

private:
    void remove(SocketTile* tile);
    void place();
    // Who takes the keys: the scanner while the job needs codes, the number keys otherwise.
    void listenForCodes();
    // The tile the next code goes to; none: the board that has waited longest.
    void choose(SocketTile* tile);
    void scanned(const QString& code);

    Station& station;
    QWidget& window;
    QGridLayout* tileGrid;
    std::vector<SocketTile*> shown;
    QLabel* verdict;
    ScannerKeys* scanner;
    std::vector<QShortcut*> numberKeys;
    SocketTile* chosen = nullptr;
};

}  // namespace iap
