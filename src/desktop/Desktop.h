#pragma once

#include <memory>

#include "FileDialog.h"
#include "MessageBox.h"
#include "UrlOpener.h"

namespace iap {

// The dialogs and message boxes the window shows, and what opens a page in the browser; the
// program uses the desktop's own, the tests put fakes in.
struct Desktop {
    std::unique_ptr<FileDialog> fileDialog;
    std::unique_ptr<MessageBox> messageBox;
    std::unique_ptr<UrlOpener> urlOpener;
};

Desktop makeSystemDesktop();

}  // namespace iap
