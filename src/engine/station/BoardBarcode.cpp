#include "station/BoardBarcode.h"

#include <utility>

namespace iap {

BoardBarcode::BoardBarcode(const QString& holder, std::function<bool()> isRunning, std::function<void()> codeGiven)
    : holderName(holder), running(std::move(isRunning)), given(std::move(codeGiven))
{
}

void BoardBarcode::take(const QString& scanned)
{
    held = scanned;
    checked = false;
}

void BoardBarcode::hand(const QString& scanned)
{
    take(scanned);
    given();
}

QString BoardBarcode::release()
{
    checked = false;
    since.reset();
    return std::exchange(held, QString());
}

}  // namespace iap
