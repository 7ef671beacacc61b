#include "LinkLabel.h"

#include <QMouseEvent>

namespace zintrel {

LinkLabel::LinkLabel(const QString& text, QWidget* parent)
    : ElidedLabel(parent)
{
    setText(text);
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    ElidedLabel::mouseReleaseEvent(event);
}

} // namespace zintrel
