#pragma once

#include "production/JobChecks.h"
#include "session/TransferPolicy.h"

namespace iap {

struct Controls;

// The window's older rules, which its users know: every acknowledging word counts, the end page
// is judged by the page boxes as they read when the verdict comes (also after the user typed
// into them), "…Successfully" tells a flash write by the version the bootloader announced, and
// what the device sends after a verdict still shows.
class WindowRules : public TransferPolicy {
public:
    // The window sends what its user chose, as it always has (an empty image too).
    static constexpr ImageRules Images{false, false};

    explicit WindowRules(const Controls& controls) : controls(controls) {}

    bool everyWordCounts() const override { return true; }
    bool endPageReached(std::int64_t endPage, std::int64_t lastAcknowledged) const override;
    QString allPagesSentText(OperationKind transfer, bool versionSeen) const override;
    bool hearsBetweenRuns() const override { return true; }

private:
    const Controls& controls;
};

}  // namespace iap
