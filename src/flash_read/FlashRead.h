#pragma once

#include <QString>

#include <cstdint>

#include "protocol/ReadFlow.h"

namespace iap {

class 主窗口;

// The flash read: its start, the reception of its page data and its end.
class FlashRead final : public ReadFlow {
public:
    static constexpr int MaxPages = 1025;

    // "Read Flash".
    void 读FlashClick(主窗口& w);

    bool ExpectsData(const 主窗口& w) const override;
    QByteArray TakeData(主窗口& w, const QByteArray& chunk) override;
    void ReadCompletion(主窗口& w, const QByteArray& chunk) override;

private:
    std::int64_t expectedBytes = 0;
    std::int64_t receivedBytes = 0;
};

// F2 in the "Current Page" box reveals "Read Flash".
void 当前包KeyDown(主窗口& w, int key);

// Writes the first `pages` pages read to the file, replacing what was there only once all of
// it is written. False when the file cannot be written; the old file is then untouched.
bool SaveReadBack(主窗口& w, const QString& fileName, int pages);

}  // namespace iap
