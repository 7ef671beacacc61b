#pragma once

#include "FolderReading.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QSet>
#include <QTimer>

#include <memory>
#include <vector>

namespace zintrel {

class FolderWatcher;

// One volume's folders from its root down, read folder by folder as the tree opens them.
// Opening a folder reads it on a pool thread, so a folder of any size never stalls the
// window; the chain down to a folder that is selected by path is read at once. The tree
// follows the disk: a folder is read again each time it is opened, and while it is open,
// folders made, removed or renamed in it show within a moment. A symbolic link to a folder
// is shown as a folder with a link mark and can be opened like one. Paths are bytes; only
// the names shown are text.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit FolderTreeModel(QObject* parent = nullptr);
    ~FolderTreeModel() override;

    // Shows root as the single top folder; forgets everything read before.
    void setVolumeRoot(const QByteArray& root);
    const QByteArray& volumeRoot() const { return m_rootPath; }
    // The index of a folder at or below the root; invalid when it is not there.
    QModelIndex indexOf(const QByteArray& path);
    // The folder's path in the tree, through any links on the way.
    QByteArray filePath(const QModelIndex& index) const;
    // The folder that index stands for: filePath(), or, with a link on the way, the folder
    // the path leads to, as the program started inside it would see it.
    QByteArray listedFolder(const QModelIndex& index) const;
    // The tree tells which folders it shows open; an open folder is watched.
    void setExpanded(const QModelIndex& index, bool expanded);
    // Reads a folder's subfolders again now.
    void refresh(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // A folder's subfolders have been read and are in the model.
    void folderLoaded(const QByteArray& path);

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOfNode(Node* node) const;
    std::unique_ptr<Node> makeNode(Node* parent, const QByteArray& name, bool link = false);
    void forget(Node* node);
    void read(Node* node);
    void update(Node* node, const Subfolders& found);
    void renumber(Node* node, std::size_t from);
    void folderChanged(const QByteArray& path);
    void refreshChanged();

    std::unique_ptr<Node> m_root;
    QByteArray m_rootPath;
    quint64 m_nextId = 1;
    QHash<quint64, Node*> m_nodes;          // every node by its id, for readings that come back late
    QHash<QByteArray, quint64> m_openNodes; // the open (and so watched) folders by path
    FolderWatcher* m_watcher;
    QSet<QByteArray> m_changed; // watched folders to read again
    QTimer m_changeDelay;
    QIcon m_closed;
    QIcon m_open;
    QIcon m_leaf;
    QIcon m_closedLink;
    QIcon m_openLink;
    QIcon m_leafLink;
};

} // namespace zintrel
