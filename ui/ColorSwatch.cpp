#include "ColorSwatch.h"

#include <QPainter>

namespace zintrel {

ColorSwatch::ColorSwatch(QWidget* parent)
    : QWidget(parent)
{
}

void ColorSwatch::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(m_color);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace zintrel
