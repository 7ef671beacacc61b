#include "FolderTreeView.h"

#include <QScrollBar>

namespace zintrel {

void FolderTreeView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    int sideways = horizontalScrollBar()->value();
    QTreeView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(sideways);
}

} // namespace zintrel
