#include "FolderTreeView.h"

#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>

namespace zintrel {

void FolderTreeView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    int sideways = horizontalScrollBar()->value();
    QTreeView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(sideways);
    if (!index.isValid())
        return;
    // The column must already be as wide as the deep rows now in sight for the scroll bar to
    // reach them.
    if (header()->sectionResizeMode(0) == QHeaderView::ResizeToContents)
        resizeColumnToContents(0);
    // In sight: the picture and about two icons' width of the name, or as much of the row
    // as there is.
    const QRect row = visualRect(index);
    const int wanted = std::min(row.width(), 3 * iconSize().width());
    if (row.left() >= 0 && row.left() + wanted <= viewport()->width())
        return;
    // The folder's own line to its parent stays in sight on the left.
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + row.left() - indentation());
}

} // namespace zintrel
