#pragma once

#include <QObject>

#include <array>
#include <optional>

#include "protocol/Page.h"

class QLineEdit;

namespace iap {

// The four target-address boxes, box 0 first: hexadecimal keys alone, at most FF each, and
// locked while a file's own address fills them.
class AddressBoxes : public QObject {
    Q_OBJECT

public:
    explicit AddressBoxes(const std::array<QLineEdit*, 4>& boxes);

    Address target() const;

public slots:
    // A flash image's header page, or a file's own addresses, fill the boxes and lock them; a
    // plain image unlocks them.
    void showImageAddress(const std::optional<Address>& ownAddress);
    // The same for the application: a plain one unlocks the boxes only when an application locked
    // them, so that the address a flash image's header gave stays for the download, as it always has.
    void showApplicationAddress(const std::optional<Address>& ownAddress);

private:
    // After every change of a box: a value above FF becomes "FF".
    void clampToByte(QLineEdit* box);

    std::array<QLineEdit*, 4> boxes;
    // The boxes were locked by an application's own addresses, not by a flash image.
    bool addressFromApplication = false;
};

}  // namespace iap
