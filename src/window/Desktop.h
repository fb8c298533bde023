#pragma once

#include <memory>

#include "FileDialog.h"
#include "MessageBox.h"

namespace iap {

// The dialogs and message boxes the window shows; the program uses the desktop's own, the
// tests put fakes in.
struct Desktop {
    std::unique_ptr<FileDialog> fileDialog;
    std::unique_ptr<MessageBox> messageBox;
};

Desktop makeSystemDesktop();

}  // namespace iap
