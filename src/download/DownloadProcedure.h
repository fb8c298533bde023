#pragma once

namespace iap {

class 主窗口;

// "IAP": reopens the port, reloads the application image and sends the erase command; the
// device's replies drive the rest.
void 开始下载Click(主窗口& w);

}  // namespace iap
