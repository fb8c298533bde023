#pragma once

#include <QWidget>

#include "Desktop.h"
#include "platform/Platform.h"
#include "platform/TunePlayer.h"
#include "RecordDestinations.h"
#include "SocketAdder.h"
#include "SocketBoard.h"
#include "station/Station.h"
#include "StationOptions.h"

class QCheckBox;
class QSpinBox;

namespace iap {

class JobPanel;

// The production station: the Journal menu (the yield report) and the job above, a tile for every
// socket, and below them the ports to add as sockets, continuous mode, the journal and where
// records go besides it. Everything chosen here is remembered for the
// next start. In operator mode the job is the one released in a file, and nobody here changes it.
class StationWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int NumberedSockets = SocketBoard::NumberedSockets;
    static constexpr int TilesPerRow = SocketBoard::TilesPerRow;

    StationWindow(Platform platform, Desktop desktop, StationOptions options = {});
    ~StationWindow() override;

private:
    // The rows below the job: the sockets' ports, the rest, the journal.
    void layOut();
    void restore();
    void takeOperatorJob();
    void addSocket(const QString& name, const PortInfo& port, TriggerKind trigger, Socket::BoardFoundFirst foundFirst);
    void applyJob(const StationJob& job);
    void applyRest();
    void remember() const;

    StationOptions options;
    Platform platform;
    Desktop desktop;
    TunePlayer tunes;
    Station station;
    JobPanel* jobPanel;
    // Made in this order, so that Tab goes through their fields in it, then through the rows' buttons.
    SocketBoard board;
    SocketAdder adder;
    QCheckBox* continuousBox;
    QSpinBox* restBox;
    RecordDestinations records;
    // Until the last session's station is back, nothing is remembered over it.
    bool restored = false;
};

}  // namespace iap
