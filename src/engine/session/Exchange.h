#pragma once

#include <QByteArray>

namespace iap {

// What the bytes on a connection go to: the operation whose command went out on it.
class Exchange {
public:
    virtual ~Exchange() = default;
    // One poll's bytes, judged alone; empty when the line stayed silent.
    virtual void take(const QByteArray& chunk) = 0;
};

}  // namespace iap
