#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

#include "station/SocketView.h"

namespace iap {

class BoardBarcode;
class BoardWatch;
class PortSession;
class SocketHost;

// What a socket shows an operator, kept up as its rounds go and told at each change: the run's
// steps and pages, the board's version, serial and code, the last verdict, and why a round cannot
// start or no board can be told.
class SocketDisplay : public QObject {
    Q_OBJECT

public:
    SocketDisplay(const BoardBarcode& barcode, const BoardWatch& watch, const SocketHost& host, QObject* parent = nullptr);

    SocketView view() const;
    SocketView::Phase phase() const { return shown.phase; }

    // Follows each step, page and version of the socket's run.
    void follow(const PortSession& session);
    void setPhase(SocketView::Phase phase);
    void roundStarts();
    void refused(const QString& why);
    void verdictOf(bool pass, const QString& reason, std::int64_t durationMs) { shown.verdictOf(pass, reason, durationMs); }
    // A board put in: what the tile shows of the last board is not this one's.
    void boardPutIn() { shown.version.clear(); }
    void show();

signals:
    void changed(const iap::SocketView& view);

private:
    const BoardBarcode& barcode;
    const BoardWatch& watch;
    const SocketHost& host;
    SocketView shown;
};

}  // namespace iap
