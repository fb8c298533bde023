#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

#include "protocol/Page.h"
#include "session/TransferPlan.h"

namespace iap {

// The proof of a transfer by reading back: the pages sent are read from the flash again, in
// reads a device accepts, and compared byte for byte. The device's sum cannot see two bytes
// swapped; this can.
class ReadBackVerify {
public:
    struct Read {
        Address address;
        int pages;
    };

    // The pages the transfer sent, from the address its first data page went to, in reads of
    // at most mostReadPages.
    ReadBackVerify(const TransferPlan& plan, int mostReadPages);

    // The next read to ask for; none once all pages compared equal.
    std::optional<Read> next() const;
    // Compares the pages of the read just asked for. False at the first byte that differs.
    bool take(const QByteArray& pages);

    std::int64_t bytesCompared() const { return compared; }
    int pagesCompared() const { return int(compared / pageBytes); }
    // "Verify right", or the first differing byte: its address, what was read and what was sent.
    QString text() const;

private:
    std::int64_t target;
    QByteArray sent;
    int pageBytes;
    int mostReadPages;
    std::int64_t compared = 0;
    std::optional<std::int64_t> firstDifference;
    char readThere = 0;
};

}  // namespace iap
