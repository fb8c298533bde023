#pragma once

#include <QString>

class QWidget;

namespace iap {

// A modal message with an OK button.
class MessageBox {
public:
    enum class Icon { None, Exclamation };
    virtual ~MessageBox() = default;
    virtual void show(QWidget* parent, const QString& text, const QString& title, Icon icon) = 0;
};

}  // namespace iap
