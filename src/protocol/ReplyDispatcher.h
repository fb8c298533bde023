#pragma once

namespace iap {

class 主窗口;
class ReadFlow;

// The Timer1 tick: polls the open port once (a read in progress takes all its data that has
// arrived), recognises the reply and moves the operation on.
void ReplyDispatcher(主窗口& w, ReadFlow& read);

}  // namespace iap
