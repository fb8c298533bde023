#pragma once

#include <QByteArray>

namespace iap {

class 主窗口;

// The flash read's side of the reply dispatcher: page data of a read never pass through the
// reply tests, and "ChecksumR" ends the read.
class ReadFlow {
public:
    virtual ~ReadFlow() = default;
    // True while a read still waits for page data.
    virtual bool ExpectsData(const 主窗口& w) const = 0;
    // Takes the page data at the front of the chunk; returns the bytes that follow them.
    virtual QByteArray TakeData(主窗口& w, const QByteArray& chunk) = 0;
    // A chunk holding "ChecksumR".
    virtual void ReadCompletion(主窗口& w, const QByteArray& chunk) = 0;
};

}  // namespace iap
