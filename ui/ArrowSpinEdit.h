#pragma once

#include <QSpinBox>

namespace zintrel {

// A spin edit whose value changes only through its arrows and the up and down keys, one
// step per press. Typed characters are refused with a beep; paste, cut and dropped text do
// nothing.
class ArrowSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit ArrowSpinEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace zintrel
