#pragma once

#include "ElidedLabel.h"

namespace zintrel {

// A label that shows a web address and reports a click on it; an address too long for its
// window is shortened in the middle.
class LinkLabel : public ElidedLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace zintrel
