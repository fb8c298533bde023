#pragma once

#include <QObject>
#include <QString>

namespace iap {

class BootloaderLink;
struct Controls;

// What the operations show: the status box, the checksum and page boxes and the bootloader's
// version. What the user types into the page boxes goes back to the verdicts.
class OperationDisplay : public QObject {
    Q_OBJECT

public:
    OperationDisplay(const Controls& shown, BootloaderLink& link);

    void setStatus(const QString& text);
    // Choosing an image or starting a write starts the checksum and the page counts afresh.
    void resetTransferBoxes();
    // The caption without a version, until the bootloader reports one.
    void resetVersion();

private:
    const Controls& controls;
};

}  // namespace iap
