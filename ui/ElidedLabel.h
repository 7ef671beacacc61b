#pragma once

#include <QLabel>

namespace zintrel {

// A one-line label for a path or an address that may not fit its window: text() stays the
// whole text, and what is drawn is shortened in the middle ("...") to the part of the label
// that lies inside its parent, less a margin on the right.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setRightMargin(int pixels);
    // The text as it is drawn now.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_rightMargin = 0;
};

} // namespace zintrel
