#pragma once

#include <QObject>

#include "production/ProductionRound.h"
#include "protocol/OperationKind.h"

namespace iap {

class BootloaderLink;
class Clock;
class OperationModel;
class Operations;

// The automatic sequence ("ATUO"): production rounds, one device after another. A step is ready
// when its operation is armed and runs as its button does; no step starts while an operation
// holds the port.
class AutoSequence : public QObject, private ProductionRound::Runner {
    Q_OBJECT

public:
    AutoSequence(const OperationModel& model, BootloaderLink& link, Operations& operations, Clock& clock);

public slots:
    // "ATUO" ticked or cleared: the round starts again from its first step.
    void toggled(bool ticked);

public:
    void stop() { round.stop(); }
    // The verdict of an operation, whoever started it.
    void ended(OperationKind operation, bool right) { round.ended(operation, right); }

private:
    bool ready(ProductionRound::Step step) const override;
    void run(ProductionRound::Step step) override;

    const OperationModel& model;
    BootloaderLink& link;
    Operations& operations;
    ProductionRound round;
};

}  // namespace iap
