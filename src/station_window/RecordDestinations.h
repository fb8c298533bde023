#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QVBoxLayout;
class QWidget;

namespace iap {

class Station;

// Where the station's records go, one row each: the journal (none: the default one), and besides
// it a delivery target (none: the job's) with the file its token is read from. Each row tells
// where records go, what waits to be delivered, or why they cannot.
class RecordDestinations : public QObject {
    Q_OBJECT

public:
    RecordDestinations(Station& station, QWidget& window);

    // The rows, below the others: their buttons are made now, after every field of the window,
    // so that Tab goes through the fields first.
    void layOut(QVBoxLayout& column);

    QString journal() const;
    QString target() const;
    QString tokenFile() const;
    void setDestinations(const QString& journal, const QString& target, const QString& tokenFile);
    // The journal the station was last given, as given (a password too), for the yield report.
    const QString& journalInUse() const { return journalGiven; }
    void applyJournal();
    void applyDelivery();

signals:
    void applied();

private:
    Station& station;
    QWidget& window;
    QLineEdit* journalEdit;
    QLabel* journalVerdict;
    QString journalGiven;
    QLineEdit* deliverEdit;
    QLineEdit* tokenFileEdit;
    // What waits to be delivered, or why the target cannot be used; empty when all went.
    QLabel* deliveryStatus;
};

}  // namespace iap
