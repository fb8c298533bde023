#pragma once

#include <QFrame>
#include <QPalette>

#include <optional>

#include "station/Socket.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace iap {

// One socket as an operator sees it from a metre away: its name and port, what it is doing,
// a bar, the last verdict in large letters (PASS on green, FAIL on red with the reason), the
// time the round took, the bootloader's version and the socket's counts; and what starts its
// round, which the operator may change.
class SocketTile : public QFrame {
    Q_OBJECT

public:
    explicit SocketTile(Socket& socket, QWidget* parent = nullptr);

    // `number` is the key that starts the socket's round: it moves when a tile before it goes.
    void setNumber(int number);

    Socket& socket() const { return shown; }
    // Chosen for the next code scanned: a thick frame.
    void setChosen(bool chosen);
    bool isChosen() const { return chosenForCode; }

signals:
    void removeRequested();
    // The operator chose another trigger for the socket.
    void triggerChosen();
    // The operator clicked the tile (not one of its controls).
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void showView(const SocketView& view);

    Socket& shown;
    QLabel* title;
    QLabel* state;
    QProgressBar* bar;
    QLabel* verdict;
    QLabel* reason;
    QLabel* details;
    QLabel* counts;
    QComboBox* trigger;
    QPushButton* startButton;
    QPushButton* removeButton;
    QPalette neutral;
    // Recolouring reaches every child: it happens when the verdict changes, not at every page.
    std::optional<SocketView::Verdict> painted;
    bool chosenForCode = false;
};

}  // namespace iap
