#pragma once

#include <QString>

#include <cstdint>

#include "protocol/OperationKind.h"

namespace iap {

// How a front end's transfers count acknowledgements, judge their end page and tell that every
// page has gone. The tool's own rules are these; a front end whose users know older ones (the
// classic window) hands its own in once, where its port session is made.
class TransferPolicy {
public:
    virtual ~TransferPolicy() = default;
    // The tool's own rules.
    static const TransferPolicy& standard();

    // Each acknowledging word counts ("d" and "Write" in one reply being two), or at most the one
    // page in flight.
    virtual bool everyWordCounts() const { return false; }
    // Whether the verdict finds the end page reached: the last page acknowledged is at least the
    // end page the transfer announced.
    virtual bool endPageReached(std::int64_t endPage, std::int64_t lastAcknowledged) const { return endPage <= lastAcknowledged; }
    // The text told once every page of a transfer has gone, by what was sent; `versionSeen`
    // tells whether the bootloader announced its version in it.
    virtual QString allPagesSentText(OperationKind transfer, bool versionSeen) const;
    // What the device sends between runs counts too: its replies still move the page shown, and
    // a verdict it sends late is told.
    virtual bool hearsBetweenRuns() const { return false; }
};

}  // namespace iap
