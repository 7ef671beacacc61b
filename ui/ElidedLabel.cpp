#include "ElidedLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace zintrel {

ElidedLabel::ElidedLabel(QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setRightMargin(int pixels)
{
    m_rightMargin = pixels;
    update();
}

QString ElidedLabel::shownText() const
{
    int room = contentsRect().width();
    if (const QWidget* parent = parentWidget())
        room = std::min(room, parent->width() - m_rightMargin - x() - contentsMargins().left());
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, std::max(room, 0));
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, palette(),
                          isEnabled(), shownText(), foregroundRole());
}

} // namespace zintrel
