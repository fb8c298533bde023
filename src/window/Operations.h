#pragma once

#include <optional>

#include "protocol/Page.h"

namespace iap {

class MainWindow;
class OperationResult;

// "IAP": reopens the port, takes the application image and starts the download.
void startDownload(MainWindow& w);
// "Write Flash" of slot 0 or 1: reopens the port, takes the slot's image and starts the write.
void startFlashWrite(MainWindow& w, int slot);
// "Read Flash": checks the page count, reopens the port and asks for the pages.
void startFlashRead(MainWindow& w);
// F2 in the "Current Page" box reveals "Read Flash".
void currentPageKeyDown(MainWindow& w, int key);

// A flash image's header page, or a file's own addresses, fill the address boxes and lock them;
// a plain image unlocks them.
void showImageAddress(MainWindow& w, const std::optional<Address>& ownAddress);
// The same for the application: a plain one unlocks the boxes only when an application locked
// them, so that the address a flash image's header gave stays for the download, as it always has.
void showApplicationAddress(MainWindow& w, const std::optional<Address>& ownAddress);
// The verdicts: the buttons, the automatic sequence, the tone and the read-back file follow.
void downloadEnded(MainWindow& w, const OperationResult& result);
void flashWriteEnded(MainWindow& w, const OperationResult& result);
void flashReadEnded(MainWindow& w, const OperationResult& result);

}  // namespace iap
