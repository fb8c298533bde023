#pragma once

#include <QString>

namespace iap::cli {

// The help's lists of what there is to choose, made from the tables they come from: in `text`,
// {models} becomes "HX300|VR200", {model rates} each model with its rate, {model names} the
// names in quotes, {page} the page's size and {read pages} how many pages a read may take;
// {triggers} becomes "appear|probe|line" and {trigger kinds} a line or more for each kind.
QString withChoices(QString text);

}  // namespace iap::cli
