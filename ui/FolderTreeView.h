#pragma once

#include <QTreeView>

namespace zintrel {

// The folder tree. Following the selection scrolls sideways only when the selected folder's
// picture and the start of its name would be out of sight (a deep folder): with one long
// folder name in sight, Qt would otherwise slide every short name and its icon out of view.
class FolderTreeView : public QTreeView {
public:
    using QTreeView::QTreeView;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
};

} // namespace zintrel
