#pragma once

#include <QString>

class QWidget;

namespace iap {

// The common file dialog. An empty result means the user cancelled.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    // filter: Qt's form, e.g. "All files (*.bin)".
    virtual QString showOpen(QWidget* parent, const QString& filter) = 0;
    virtual QString showSave(QWidget* parent, const QString& filter) = 0;
};

}  // namespace iap
