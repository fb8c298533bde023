#pragma once

#include <QObject>

class QWidget;

namespace iap {

class AddressBoxes;
class BootloaderLink;
class ImageSnapshot;
class OperationDisplay;
class OperationModel;
class TransferGate;
struct Controls;
struct Desktop;

// "Open APP File" and the slots' "Open Flash File": a file chosen arms its operation. Pressing
// one disarms "Read Flash" and starts the boxes afresh, even when the dialog is cancelled.
class FileChoice : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget& window;
        const Controls& controls;
        OperationModel& model;
        TransferGate& transfers;
        OperationDisplay& display;
        AddressBoxes& addresses;
        BootloaderLink& link;
        Desktop& desktop;
    };

    explicit FileChoice(const Parts& parts);

public slots:
    void chooseApplication();
    void chooseFlashImage(int slot);

private:
    // A file that cannot be sent is refused when it is chosen, with where in it and what is wrong.
    bool refusedMalformed(const ImageSnapshot& image);

    const Parts parts;
};

}  // namespace iap
