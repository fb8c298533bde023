#pragma once

#include <QString>

namespace iap {

class Journal;

// Why `code` may not go to another board: a board passed with it already ("barcode
// 4006381333931 already passed on Socket 2 at 2026-12-08 07:40 UTC"); empty when none did. When
// the journal cannot tell, empty, and `error` says why.
QString repeatedBarcode(Journal& journal, const QString& code, QString& error);

}  // namespace iap
