#pragma once

#include <QByteArray>

#include "session/Session.h"

namespace iap {

class 主窗口;

// "IAP": reopens the port, reloads the application image and sends the erase command; the
// device's replies drive the rest.
void 开始下载Click(主窗口& w);
// "Write Flash" of slot index (0 or 1): announces the write, then arms the page sender half a
// second later; the device's acknowledgements pace the pages.
void 写FLASHClick(主窗口& w, int index);
// "Read Flash": checks the page count, reopens the port and asks for the pages.
void 读FlashClick(主窗口& w);
// F2 in the "Current Page" box reveals "Read Flash".
void 当前包KeyDown(主窗口& w, int key);

// A flash image's header page fills the address boxes and locks them; a plain image unlocks them.
void ShowImageAddress(主窗口& w, const QByteArray& headerAddress);
// The device's sum compared: the buttons, the automatic sequence, the tone and the read-back
// file follow from the verdict.
void OnVerified(主窗口& w, Session::Operation operation, bool right);

}  // namespace iap
