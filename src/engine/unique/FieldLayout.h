#pragma once

#include <QString>

#include <vector>

#include "unique/UniqueField.h"

namespace iap {

// What is wrong with the fields of one page, each within the page on its own: two of one name, two
// drawing from one pool, two that overlap, a CRC over its own bytes or over a CRC computed after it.
// Empty when nothing is.
QString layoutProblem(const std::vector<UniqueField>& fields);

}  // namespace iap
