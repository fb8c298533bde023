#pragma once

#include <QString>

#include "serial/ModemLines.h"

namespace iap {

// A virtual device's modem-status inputs: a pseudo-terminal has none, so the device names the
// active ones in the file `<link>.lines`, separated by spaces and ended by a newline ("cts\n"
// while a board is in, "\n" while none is), replaced whole whenever they change.
class AnnouncedModemLines : public ModemLines {
public:
    explicit AnnouncedModemLines(const QString& linkPath);

    std::optional<bool> isActive(ModemLine line) override;

private:
    QByteArray filePath;
};

}  // namespace iap
