#pragma once

#include <QObject>

class QWidget;

namespace iap {

class AddressBoxes;
class BootloaderLink;
class Clock;
class ImageSnapshot;
class MessageBox;
class OperationDisplay;
class OperationModel;
class PortControls;
class TransferGate;
struct Controls;

// The starts of the three operations and the release of the port after one. Each operation
// opens the port afresh; a download or a flash write disarms every operation while it holds the
// port, a read "Read Flash" alone.
class Operations : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget& window;
        const Controls& controls;
        OperationModel& model;
        TransferGate& transfers;
        OperationDisplay& display;
        PortControls& ports;
        AddressBoxes& addresses;
        BootloaderLink& link;
        MessageBox& messageBox;
        Clock& clock;
    };

    explicit Operations(const Parts& parts);

public slots:
    // "IAP": reopens the port, takes the application image and starts the download.
    void startDownload();
    // "Write Flash" of slot 0 or 1: reopens the port, takes the slot's image and starts the write.
    void startFlashWrite(int slot);
    // "Read Flash": checks the page count, reopens the port and asks for the pages.
    void startFlashRead();
    // A right verdict of a download or a write, and Refresh: the operations armed again and the
    // port closed.
    void release();

private:
    void reopenLater(int slot);
    void announce(int slot);
    void refuse(const QString& text);
    // A file edited into one that cannot be sent since it was chosen.
    void refuseMalformed(const ImageSnapshot& image);

    const Parts parts;
};

}  // namespace iap
