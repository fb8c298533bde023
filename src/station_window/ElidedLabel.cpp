#include "ElidedLabel.h"

#include <QPainter>
#include <QStyle>

namespace iap {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setWordWrap(false);
}

// As narrow as its ellipsis: the layout, not the text, sets the width.
QSize ElidedLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")) + margins.left() + margins.right(), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), fontMetrics().elidedText(text(), Qt::ElideRight, area.width()),
                          foregroundRole());
}

}  // namespace iap
