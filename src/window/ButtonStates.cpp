#include "ButtonStates.h"

#include <QPushButton>

#include "ConnectionControls.h"
#include "MainWindow.h"

namespace iap {

void setBusy(MainWindow& w, bool busy)
{
    if (busy) {
        w.readFlashButton->setEnabled(false);
        for (QPushButton* button : w.writeFlashButtons)
            button->setEnabled(false);
        w.downloadButton->setEnabled(false);
        return;
    }
    // A button whose file is not chosen keeps the state it had.
    w.readFlashButton->setEnabled(true);
    for (std::size_t slot = 0; slot < w.writeFlashButtons.size(); ++slot)
        if (!w.flashImagePaths[slot].isEmpty())
            w.writeFlashButtons[slot]->setEnabled(true);
    if (!w.applicationPath.isEmpty())
        w.downloadButton->setEnabled(true);
    closePort(w);
    w.endTransfer();
}

void refresh(MainWindow& w)
{
    setBusy(w, false);
}

}  // namespace iap
