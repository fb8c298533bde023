#include "AddressBoxes.h"

#include <QLineEdit>

#include "HexEntry.h"

namespace iap {

AddressBoxes::AddressBoxes(const std::array<QLineEdit*, 4>& shown) : boxes(shown)
{
    for (QLineEdit* box : boxes) {
        installKeyFilter(box, EntryKeys::Hexadecimal);
        connect(box, &QLineEdit::textChanged, this, [this, box] { clampToByte(box); });
    }
}

void AddressBoxes::clampToByte(QLineEdit* box)
{
    if (exceedsByte(box->text()))
        box->setText(QStringLiteral("FF"));
}

Address AddressBoxes::target() const
{
    Address bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = addressByte(boxes[i]->text());
    return bytes;
}

void AddressBoxes::showImageAddress(const std::optional<Address>& ownAddress)
{
    addressFromApplication = false;
    for (std::size_t k = 0; k < boxes.size(); ++k) {
        if (ownAddress)
            boxes[k]->setText(QString::number((*ownAddress)[k], 16).toUpper());
        boxes[k]->setEnabled(!ownAddress);
    }
}

void AddressBoxes::showApplicationAddress(const std::optional<Address>& ownAddress)
{
    if (!ownAddress && !addressFromApplication)
        return;
    showImageAddress(ownAddress);
    addressFromApplication = ownAddress.has_value();
}

}  // namespace iap
