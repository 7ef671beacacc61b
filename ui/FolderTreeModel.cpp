#include "FolderTreeModel.h"

#include "FolderReading.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QThreadPool>

namespace zintrel {

struct FolderTreeModel::Node {
    QString name;
    QString path;
    Node* parent = nullptr;
    int row = 0;
    bool read = false;
    bool reading = false;
    bool expanded = false;
    std::vector<std::unique_ptr<Node>> children;
};

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_closed(QStringLiteral(":/icons/folder-closed.svg"))
    , m_open(QStringLiteral(":/icons/folder-open.svg"))
    , m_leaf(QStringLiteral(":/icons/folder-leaf.svg"))
{
}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::setVolumeRoot(const QString& root)
{
    beginResetModel();
    ++m_generation; // readings still under way belong to the old tree
    m_rootPath = root;
    m_root = std::make_unique<Node>();
    m_root->name = root;
    m_root->path = root;
    endResetModel();
}

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::indexOfNode(Node* node) const
{
    return node ? createIndex(node->row, 0, node) : QModelIndex();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 && m_root ? createIndex(0, 0, m_root.get()) : QModelIndex();
    Node* node = nodeOf(parent);
    if (row >= static_cast<int>(node->children.size()))
        return {};
    return createIndex(row, 0, node->children[row].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const
{
    Node* node = nodeOf(child);
    return node ? indexOfNode(node->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return m_root ? 1 : 0;
    return static_cast<int>(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return m_root != nullptr;
    Node* node = nodeOf(parent);
    return !node->read || !node->children.empty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const
{
    Node* node = nodeOf(parent);
    return node && !node->read && !node->reading;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent)
{
    Node* node = nodeOf(parent);
    if (!node || node->read || node->reading)
        return;
    node->reading = true;
    QPointer<FolderTreeModel> self(this);
    quint64 generation = m_generation;
    QString path = node->path;
    QThreadPool::globalInstance()->start([self, generation, node, path] {
        QStringList names = subfolderNames(path);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, node, names = std::move(names)] {
                // The node still exists exactly when its tree is still the one shown.
                if (self && self->m_generation == generation && !node->read)
                    self->fill(node, names);
            },
            Qt::QueuedConnection);
    });
}

void FolderTreeModel::fill(Node* node, const QStringList& names)
{
    node->reading = false;
    node->read = true;
    if (!names.isEmpty()) {
        beginInsertRows(indexOfNode(node), 0, static_cast<int>(names.size()) - 1);
        for (const QString& name : names) {
            auto child = std::make_unique<Node>();
            child->name = name;
            child->path = node->path == QLatin1String("/") ? QLatin1Char('/') + name : node->path + QLatin1Char('/') + name;
            child->parent = node;
            child->row = static_cast<int>(node->children.size());
            node->children.push_back(std::move(child));
        }
        endInsertRows();
    } else {
        QModelIndex index = indexOfNode(node);
        emit dataChanged(index, index, {Qt::DecorationRole});
    }
    emit folderLoaded(node->path);
}

QModelIndex FolderTreeModel::indexOf(const QString& path)
{
    if (!m_root)
        return {};
    QString clean = QDir::cleanPath(path);
    if (clean == m_rootPath)
        return indexOfNode(m_root.get());
    QString prefix = m_rootPath == QLatin1String("/") ? m_rootPath : m_rootPath + QLatin1Char('/');
    if (!clean.startsWith(prefix))
        return {};
    Node* node = m_root.get();
    const QStringList parts = clean.mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (!node->read)
            fill(node, subfolderNames(node->path));
        auto found = std::find_if(node->children.begin(), node->children.end(),
                                  [&](const std::unique_ptr<Node>& child) { return child->name == part; });
        if (found == node->children.end())
            return {};
        node = found->get();
    }
    return indexOfNode(node);
}

QString FolderTreeModel::filePath(const QModelIndex& index) const
{
    Node* node = nodeOf(index);
    return node ? node->path : QString();
}

void FolderTreeModel::setExpanded(const QModelIndex& index, bool expanded)
{
    if (Node* node = nodeOf(index)) {
        node->expanded = expanded;
        emit dataChanged(index, index, {Qt::DecorationRole});
    }
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const
{
    Node* node = nodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->name;
    case Qt::DecorationRole:
        if (node->expanded)
            return m_open;
        return node->read && node->children.empty() ? m_leaf : m_closed;
    case Qt::ToolTipRole:
        return node->path;
    default:
        return {};
    }
}

} // namespace zintrel
