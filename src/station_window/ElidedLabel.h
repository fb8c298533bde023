#pragma once

#include <QLabel>

namespace iap {

// One line of text, cut short with "…" where it does not fit rather than wrapped: a name such
// as "fix-A3" would wrap after its hyphen. The text itself stays whole.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace iap
