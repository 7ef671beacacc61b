#include "ArrowSpinEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <limits>

namespace zintrel {

namespace {

constexpr int kPageSteps = 10;

// How much one step of a held arrow counts, by the steps it has made since it was pressed.
struct Speed {
    int fromStep;
    int factor;
};
constexpr Speed kSpeeds[] = {{30, 100}, {10, 10}, {0, 1}};

int factorAfter(int heldSteps)
{
    for (const Speed& speed : kSpeeds) {
        if (heldSteps >= speed.fromStep)
            return speed.factor;
    }
    return 1;
}

} // namespace

ArrowSpinEdit::ArrowSpinEdit(QWidget* parent)
    : QSpinBox(parent)
{
    // Read-only text also shuts out the middle-button paste and text dropped on the field;
    // the arrows still step, since they set the text from outside the editor.
    lineEdit()->setReadOnly(true);
    lineEdit()->setAcceptDrops(false);
    setAcceptDrops(false);
    // A held arrow button also repeats faster and faster.
    setAccelerated(true);
}

void ArrowSpinEdit::stepBy(int steps)
{
    if (m_held) {
        long long counted = static_cast<long long>(steps) * factorAfter(m_heldSteps++);
        steps = static_cast<int>(std::clamp<long long>(counted, std::numeric_limits<int>::min() / singleStep(),
                                                       std::numeric_limits<int>::max() / singleStep()));
    }
    QSpinBox::stepBy(steps);
}

void ArrowSpinEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Stepped here rather than by QSpinBox, whose own repeat timer would take over from
        // the key's repeats.
        if (!event->isAutoRepeat()) {
            m_held = true;
            m_heldSteps = 0;
        }
        stepBy(event->key() == Qt::Key_Up ? 1 : -1);
        event->accept();
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        m_held = false;
        stepBy(event->key() == Qt::Key_PageUp ? kPageSteps : -kPageSteps);
        event->accept();
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Focus moves and dialog keys belong to the window.
        event->ignore();
        return;
    default:
        break;
    }
    if (!event->text().isEmpty() || event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)
        || event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        QApplication::beep();
    event->accept();
}

void ArrowSpinEdit::keyReleaseEvent(QKeyEvent* event)
{
    if (!event->isAutoRepeat())
        m_held = false;
    QSpinBox::keyReleaseEvent(event);
}

void ArrowSpinEdit::mousePressEvent(QMouseEvent* event)
{
    m_held = true;
    m_heldSteps = 0;
    QSpinBox::mousePressEvent(event);
}

void ArrowSpinEdit::mouseReleaseEvent(QMouseEvent* event)
{
    m_held = false;
    QSpinBox::mouseReleaseEvent(event);
}

void ArrowSpinEdit::contextMenuEvent(QContextMenuEvent* event)
{
    // Its menu would offer Paste, Cut and Delete.
    event->accept();
}

} // namespace zintrel
