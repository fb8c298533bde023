#pragma once

#include <QString>

namespace iap {

// The filters of a dialog that opens an image: the dialog's own first, then each format a
// toolchain emits with its usual extensions, then every file, since a file is taken for what
// its content is, whatever it is named.
QString imageFilters(const QString& own);

}  // namespace iap
