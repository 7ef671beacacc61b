#pragma once

#include <QColor>
#include <QWidget>

namespace zintrel {

// A rectangle filled with one colour and outlined in black.
class ColorSwatch : public QWidget {
    Q_OBJECT
public:
    explicit ColorSwatch(QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color = Qt::black;
};

} // namespace zintrel
