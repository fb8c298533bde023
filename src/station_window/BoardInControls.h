#pragma once

#include "station/StationJob.h"

class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace iap {

// How a board put in is told, in the job panel's row "Board in": the trigger new sockets take, the
// switch's modem line, and the probe's page and period. The controls are the panel's own children,
// so that the panel locks them with the rest.
class BoardInControls {
public:
    explicit BoardInControls(QWidget& panel);

    // The row, laid out, for the panel's grid.
    QHBoxLayout* row(QWidget& panel) const;
    void takeInto(StationJob& job) const;
    void show(const StationJob& job);

private:
    QComboBox* trigger;
    QComboBox* switchLine;
    QLineEdit* probeAddress;
    QSpinBox* probeMs;
};

}  // namespace iap
