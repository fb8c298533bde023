#pragma once

#include <QObject>

#include "protocol/OperationKind.h"

class QWidget;

namespace iap {

class AutoSequence;
class BootloaderLink;
class FileDialog;
class OperationDisplay;
class OperationModel;
class Operations;
class TransferGate;
class TunePlayer;
struct Controls;

// The end of each operation: the armed operations, the automatic sequence, the tone and the
// read-back file follow. A download or a write that ends wrong keeps the port and every
// operation disarmed until Refresh.
class Verdicts : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget& window;
        const Controls& controls;
        OperationModel& model;
        TransferGate& transfers;
        OperationDisplay& display;
        Operations& operations;
        AutoSequence& automatic;
        BootloaderLink& link;
        FileDialog& fileDialog;
        TunePlayer& tunes;
    };

    explicit Verdicts(const Parts& parts);

public slots:
    void ended(OperationKind operation, bool right);

private:
    void downloadEnded(bool right);
    void flashWriteEnded(bool right);
    void flashReadEnded(bool right);

    const Parts parts;
};

}  // namespace iap
