#pragma once

#include <QWidget>

#include <vector>

#include "Desktop.h"
#include "platform/Platform.h"
#include "platform/TunePlayer.h"
#include "serial/PortDiscovery.h"
#include "station/Station.h"
#include "StationOptions.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QShortcut;
class QSpinBox;

namespace iap {

class JobPanel;
class ScannerKeys;
class SocketTile;

// The production station: the Journal menu (the yield report) and the job above, a tile for every
// socket, and below them the ports to add as sockets, continuous mode, the journal and where
// records go besides it. Everything chosen here is remembered for the
// next start. In operator mode the job is the one released in a file, and nobody here changes it.
class StationWindow : public QWidget {
    Q_OBJECT

public:
    // Keys 1 to 9 start the round of the socket with that number, unless the job needs a code
    // for each board: then the keys are a barcode scanner's (a code's digits would start sockets).
    static constexpr int NumberedSockets = 9;
    static constexpr int TilesPerRow = 4;

    StationWindow(Platform platform, Desktop desktop, StationOptions options = {});
    ~StationWindow() override;

private:
    // The rows below the job: the sockets' ports, the rest, the journal.
    void layOut();
    void restore();
    void takeOperatorJob();
    void listPorts();
    void addSocket(const QString& name, const PortInfo& port, TriggerKind trigger, Socket::BoardFoundFirst foundFirst);
    void removeTile(SocketTile* tile);
    void placeTiles();
    void applyJob(const StationJob& job);
    void applyJournal();
    void applyDelivery();
    void applyRest();
    void remember() const;
    // Who takes the keys: the scanner while the job needs codes, the number keys otherwise.
    void listenForCodes();
    // The tile the next code goes to; none: the board that has waited longest.
    void choose(SocketTile* tile);
    void scanned(const QString& code);

    StationOptions options;
    Platform platform;
    Desktop desktop;
    PortDiscovery discovery;
    TunePlayer tunes;
    Station station;
    JobPanel* jobPanel;
    QGridLayout* tileGrid;
    std::vector<SocketTile*> tiles;
    QComboBox* portList;
    QLineEdit* socketName;
    QCheckBox* continuousBox;
    QSpinBox* restBox;
    QLineEdit* journalEdit;
    QLabel* journalVerdict;
    QLabel* scanVerdict;
    ScannerKeys* scanner;
    std::vector<QShortcut*> numberKeys;
    SocketTile* chosen = nullptr;
    // The journal the station was last given, as given (a password too), for the yield report.
    QString journalInUse;
    QLineEdit* deliverEdit;
    QLineEdit* tokenFileEdit;
    // What waits to be delivered, or why the target cannot be used; empty when all went.
    QLabel* deliveryStatus;
    // Until the last session's station is back, nothing is remembered over it.
    bool restored = false;
};

}  // namespace iap
