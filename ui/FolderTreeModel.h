#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QSet>

#include <memory>
#include <vector>

namespace zintrel {

// One volume's folders from its root down, read folder by folder as the tree opens them.
// Opening a folder reads it on a pool thread, so a folder of any size never stalls the
// window; the chain down to a folder that is selected by path is read at once.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit FolderTreeModel(QObject* parent = nullptr);
    ~FolderTreeModel() override;

    // Shows root as the single top folder; forgets everything read before.
    void setVolumeRoot(const QString& root);
    const QString& volumeRoot() const { return m_rootPath; }
    // The index of a folder at or below the root; invalid when it is not there.
    QModelIndex indexOf(const QString& path);
    QString filePath(const QModelIndex& index) const;
    // The tree tells which folders it shows open.
    void setExpanded(const QModelIndex& index, bool expanded);

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
    void folderLoaded(const QString& path);

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOfNode(Node* node) const;
    void fill(Node* node, const QStringList& names);

    std::unique_ptr<Node> m_root;
    QString m_rootPath;
    quint64 m_generation = 0;
    QIcon m_closed;
    QIcon m_open;
    QIcon m_leaf;
};

} // namespace zintrel
