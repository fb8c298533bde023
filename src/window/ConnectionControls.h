#pragma once

namespace iap {

class 主窗口;

// Closes, then opens the chosen port at the chosen model's rate; Timer1 runs exactly when it opened.
void OpenClick(主窗口& w);
// Flushes and closes the port and stops Timer1; the status box keeps its text.
void CloseClick(主窗口& w);
// "Seek-Com": rebuilds the port list; an open port stays open.
void 刷新串口Click(主窗口& w);
// The HX300 option became selected: the port is reopened at its rate.
void 波特率Click(主窗口& w);

}  // namespace iap
