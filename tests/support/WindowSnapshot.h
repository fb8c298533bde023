#pragma once

#include <QStringList>

namespace iap {
class 主窗口;
}

namespace iap::test {

// What a person sees of the window (every named control's kind, state, place and text, the
// port list and the status box) and every field an operation keeps, one line per item, so that
// comparing two snapshots names exactly what changed.
QStringList WindowSnapshot(主窗口& w);
// Whether each timer runs, and its interval.
QStringList TimerSnapshot(主窗口& w);

}  // namespace iap::test
