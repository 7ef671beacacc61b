#pragma once

#include <QSpinBox>

namespace zintrel {

// A spin edit whose value changes only through its arrows and the keys: up and down one step
// per press, Page Up and Page Down ten. An arrow held down (by the mouse or a key) speeds
// up: after ten steps each step counts ten, after thirty a hundred. Typed characters are
// refused with a beep; paste, cut and dropped text do nothing.
class ArrowSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit ArrowSpinEdit(QWidget* parent = nullptr);

    void stepBy(int steps) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool m_held = false; // an arrow or an arrow key is held down
    int m_heldSteps = 0; // steps made since it was pressed
};

} // namespace zintrel
