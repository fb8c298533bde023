#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/UniqueNumbers.h"
#include "session/TransferPlan.h"
#include "unique/UniquePage.h"

namespace iap {

class Journal;

// The values of a board's own on its unique page, the round's last step, from their reservation
// to their end. They are reserved from the journal's pools (what an earlier round on the same port
// left reserved, a program that ended mid-round, is settled first), marked sent before the page
// goes out, and end with the board's record: no value can reach two boards.
class BoardValues {
public:
    // Whoever reserves on this port: the host and the port's device.
    static QString holderOf(const QString& portPath);

    // None drawn: a new round.
    void clear()
    {
        drawn.reset();
        made.clear();
        serial.clear();
    }

    // The flash write of the page, once its values are reserved and marked sent; or none and why
    // not, with nothing sent. `pageStep` is the index the page's step will have in the record.
    std::optional<TransferPlan> prepare(const UniquePage& page, const QString& barcode, const QDateTime& roundStarted, Journal& journal,
                                        const QString& holder, std::size_t pageStep, QString& why);
    // The values as the record keeps them, and the board's serial among them, once the page is
    // made (also when marking them sent failed).
    const std::vector<WrittenValue>& written() const { return made; }
    const QString& boardSerial() const { return serial; }

    // Keeps the record in the journal, ending the values drawn for it in the same transaction: on
    // a board that passed they are used; a page never sent gives them back; a sent page keeps them
    // from every later board (burn), or gives them back (reuse) unless the device confirmed the
    // page written, and then too when the job says so. Empty, or why the journal refused it.
    QString keep(const JournalRecord& record, Journal& journal) const;

private:
    static UniqueState endOf(const UniquePage& page, bool passed, bool sent, bool confirmed);

    struct Drawn {
        UniquePage page;
        std::vector<UniqueReserved> values;
        bool sent = false;
        // The step the page went out in: a device's sum there means the page reached its flash.
        std::size_t step = 0;
    };

    std::optional<Drawn> drawn;
    std::vector<WrittenValue> made;
    QString serial;
};

}  // namespace iap
