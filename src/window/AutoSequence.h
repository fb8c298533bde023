#pragma once

namespace iap {

class 主窗口;

// "ATUO" ticked or cleared: the sequence starts again from its first step.
void Check1Click(主窗口& w);
// One step: whenever no operation holds the port, press "Write Flash" of slot 0, of slot 1,
// then "IAP", passing over every button that is disabled.
void Timer3Tick(主窗口& w);

}  // namespace iap
