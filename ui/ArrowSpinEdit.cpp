#include "ArrowSpinEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace zintrel {

ArrowSpinEdit::ArrowSpinEdit(QWidget* parent)
    : QSpinBox(parent)
{
    // Read-only text also shuts out the middle-button paste and text dropped on the field;
    // the arrows still step, since they set the text from outside the editor.
    lineEdit()->setReadOnly(true);
    lineEdit()->setAcceptDrops(false);
    setAcceptDrops(false);
}

void ArrowSpinEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        QSpinBox::keyPressEvent(event);
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

void ArrowSpinEdit::contextMenuEvent(QContextMenuEvent* event)
{
    // Its menu would offer Paste, Cut and Delete.
    event->accept();
}

} // namespace zintrel
