#pragma once

#include <QGroupBox>

#include <array>

#include "BoardInControls.h"
#include "station/StationJob.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLayout;
class QLabel;
class QLineEdit;

namespace iap {

class FileDialog;
class MessageBox;

// The station's job: the model, the address, the slot 0 and slot 1 flash images and the
// application, and how a board put in is told (the trigger new sockets take, the switch's modem
// line, the probe's page and period), applied to every socket at once, and saved to or loaded
// from a job file, with the unique page a job file may hold. A pinned job keeps its pins whatever
// is changed here, so that a changed image is refused rather than run unpinned.
class JobPanel : public QGroupBox {
    Q_OBJECT

public:
    JobPanel(FileDialog& files, MessageBox& messages, QWidget* parent = nullptr);

    StationJob job() const;
    void setJob(const StationJob& job);
    // What the station made of the job applied: empty for a job the sockets run.
    void showRefusal(const QString& refusal);
    // Operator mode: the job can be read, not changed, applied, saved or replaced.
    void lock();

signals:
    void applied(const iap::StationJob& job);

private:
    void setUpControls();
    void layOut();
    void addImageRows(QGridLayout& grid);
    // Apply, Save job…, Load job… and the job's verdict beside them.
    QLayout* jobButtons();
    void load();
    void save();

    FileDialog& files;
    MessageBox& messages;
    QComboBox* model;
    QLineEdit* address;
    QCheckBox* verify;
    BoardInControls boardIn;
    // Slot 0, slot 1, the application.
    std::array<QLineEdit*, 3> images;
    // A unique page and whether each board needs its barcode come with a job file and are kept as
    // they came: the panel only shows the page.
    QLabel* uniqueSummary;
    QLabel* verdict;
    // The job last set or loaded, whose pins and file the job chosen here keeps.
    StationJob given;
};

}  // namespace iap
