#include "FolderTreeModel.h"

#include "FolderWatcher.h"
#include "listing/NameOrder.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <unistd.h>

namespace zintrel {

namespace {

// Changes come in bursts (a copy makes many folders): wait this long for the burst to
// end, well inside the second a user waits for the tree to follow.
constexpr int kChangeDelayMs = 150;

bool less(const QByteArray& a, const QByteArray& b)
{
    return nameLess(std::string_view(a.constData(), a.size()), std::string_view(b.constData(), b.size()));
}

// The folder picture with the link mark in its lower left corner, drawn at each size a view
// may ask for (high-dpi screens ask for twice the size and more).
QIcon withLinkMark(const QIcon& folder)
{
    const QIcon mark(QStringLiteral(":/icons/link-overlay.svg"));
    QIcon marked;
    for (int side : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        folder.paint(&painter, pixmap.rect());
        mark.paint(&painter, pixmap.rect());
        painter.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

// Where a link points, as its own text says.
QByteArray linkTarget(const QByteArray& path)
{
    QByteArray target(4096, '\0');
    ssize_t length = ::readlink(path.constData(), target.data(), static_cast<std::size_t>(target.size()));
    return length > 0 ? target.left(length) : QByteArray();
}

const QString kLinkToolTip = QStringLiteral("%1\nlinks to %2");

} // namespace

struct FolderTreeModel::Node {
    quint64 id = 0;
    QByteArray name;
    QByteArray path;
    Node* parent = nullptr;
    int row = 0;
    bool read = false;
    bool reading = false;
    bool readAgain = false; // a change came in while it was being read
    bool expanded = false;
    bool link = false; // a symbolic link to a folder
    std::vector<std::unique_ptr<Node>> children;
};

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_watcher(new FolderWatcher(this))
    , m_closed(QStringLiteral(":/icons/folder-closed.svg"))
    , m_open(QStringLiteral(":/icons/folder-open.svg"))
    , m_leaf(QStringLiteral(":/icons/folder-leaf.svg"))
    , m_closedLink(withLinkMark(m_closed))
    , m_openLink(withLinkMark(m_open))
    , m_leafLink(withLinkMark(m_leaf))
{
    m_changeDelay.setSingleShot(true);
    m_changeDelay.setInterval(kChangeDelayMs);
    connect(&m_changeDelay, &QTimer::timeout, this, &FolderTreeModel::refreshChanged);
    connect(m_watcher, &FolderWatcher::changed, this, &FolderTreeModel::folderChanged);
}

FolderTreeModel::~FolderTreeModel() = default;

std::unique_ptr<FolderTreeModel::Node> FolderTreeModel::makeNode(Node* parent, const QByteArray& name, bool link)
{
    auto node = std::make_unique<Node>();
    node->id = m_nextId++;
    node->name = name;
    node->link = link;
    node->path = parent ? childPath(parent->path, name) : name;
    node->parent = parent;
    m_nodes.insert(node->id, node.get());
    return node;
}

// Takes a node that is about to go, and everything below it, out of the books.
void FolderTreeModel::forget(Node* node)
{
    for (const auto& child : node->children)
        forget(child.get());
    if (node->expanded) {
        m_watcher->unwatch(node->path);
        m_openNodes.remove(node->path);
    }
    m_nodes.remove(node->id);
}

void FolderTreeModel::setVolumeRoot(const QByteArray& root)
{
    beginResetModel();
    m_watcher->clear();
    m_nodes.clear();
    m_openNodes.clear();
    m_changed.clear();
    m_rootPath = root;
    m_root = makeNode(nullptr, root);
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

int FolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

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
    if (Node* node = nodeOf(parent); node && !node->read)
        read(node);
}

void FolderTreeModel::read(Node* node)
{
    if (node->reading) {
        node->readAgain = true;
        return;
    }
    node->reading = true;
    QPointer<FolderTreeModel> self(this);
    const quint64 id = node->id;
    const QByteArray path = node->path;
    QThreadPool::globalInstance()->start([self, id, path] {
        Subfolders found = subfolders(path);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, id, found = std::move(found)] {
                // The node may have gone meanwhile, with its tree or on its own.
                if (!self)
                    return;
                Node* node = self->m_nodes.value(id);
                if (!node)
                    return;
                node->reading = false;
                self->update(node, found);
                if (node->readAgain) {
                    node->readAgain = false;
                    self->read(node);
                }
            },
            Qt::QueuedConnection);
    });
}

void FolderTreeModel::renumber(Node* node, std::size_t from)
{
    for (std::size_t i = from; i < node->children.size(); ++i)
        node->children[i]->row = static_cast<int>(i);
}

// Brings a folder's children in line with found (sorted), keeping the nodes that stay and
// all they know, and telling the view each run of rows that goes or comes.
void FolderTreeModel::update(Node* node, const Subfolders& found)
{
    const bool first = !node->read;
    node->read = true;
    const QModelIndex parentIndex = indexOfNode(node);
    auto& children = node->children;
    Names names;
    names.reserve(found.size());
    QHash<QByteArray, bool> links;
    for (const Subfolder& subfolder : found) {
        names << subfolder.name;
        links.insert(subfolder.name, subfolder.link);
    }

    // Runs of children whose names are gone, from the last run to the first; a folder that
    // became a link of the same name, or the other way round, goes too.
    auto stays = [&](const Node& child) {
        auto link = links.constFind(child.name);
        return link != links.constEnd() && *link == child.link;
    };
    for (std::size_t end = children.size(); end > 0;) {
        if (stays(*children[end - 1])) {
            --end;
            continue;
        }
        std::size_t begin = end - 1;
        while (begin > 0 && !stays(*children[begin - 1]))
            --begin;
        beginRemoveRows(parentIndex, static_cast<int>(begin), static_cast<int>(end - 1));
        for (std::size_t i = begin; i < end; ++i)
            forget(children[i].get());
        children.erase(children.begin() + static_cast<std::ptrdiff_t>(begin),
                       children.begin() + static_cast<std::ptrdiff_t>(end));
        renumber(node, begin);
        endRemoveRows();
        end = begin;
    }

    // Runs of new names, each at its place in the order.
    std::size_t at = 0;
    for (qsizetype i = 0; i < names.size();) {
        if (at < children.size() && children[at]->name == names[i]) {
            ++at;
            ++i;
            continue;
        }
        qsizetype runEnd = i;
        while (runEnd < names.size() && !(at < children.size() && children[at]->name == names[runEnd])
               && (at >= children.size() || less(names[runEnd], children[at]->name)))
            ++runEnd;
        if (runEnd == i) {
            // Out of order against a child we keep (the order rule changed): take it as new.
            ++runEnd;
        }
        beginInsertRows(parentIndex, static_cast<int>(at), static_cast<int>(at + (runEnd - i) - 1));
        std::vector<std::unique_ptr<Node>> added;
        for (qsizetype k = i; k < runEnd; ++k)
            added.push_back(makeNode(node, names[k], found[k].link));
        children.insert(children.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(added.begin()),
                        std::make_move_iterator(added.end()));
        renumber(node, at);
        endInsertRows();
        at += static_cast<std::size_t>(runEnd - i);
        i = runEnd;
    }
    if (first || children.empty())
        emit dataChanged(parentIndex, parentIndex, {Qt::DecorationRole});
    emit folderLoaded(node->path);
}

QModelIndex FolderTreeModel::indexOf(const QByteArray& path)
{
    if (!m_root)
        return {};
    QByteArray clean = path.size() > 1 && path.endsWith('/') ? path.chopped(1) : path;
    if (clean == m_rootPath)
        return indexOfNode(m_root.get());
    QByteArray prefix = m_rootPath.endsWith('/') ? m_rootPath : m_rootPath + '/';
    if (!clean.startsWith(prefix))
        return {};
    Node* node = m_root.get();
    const QList<QByteArray> parts = clean.mid(prefix.size()).split('/');
    for (const QByteArray& part : parts) {
        if (part.isEmpty())
            continue;
        if (!node->read)
            update(node, subfolders(node->path));
        auto found = std::find_if(node->children.begin(), node->children.end(),
                                  [&](const std::unique_ptr<Node>& child) { return child->name == part; });
        if (found == node->children.end())
            return {};
        node = found->get();
    }
    return indexOfNode(node);
}

QByteArray FolderTreeModel::filePath(const QModelIndex& index) const
{
    Node* node = nodeOf(index);
    return node ? node->path : QByteArray();
}

QByteArray FolderTreeModel::listedFolder(const QModelIndex& index) const
{
    Node* node = nodeOf(index);
    if (!node)
        return {};
    for (Node* above = node; above; above = above->parent) {
        if (above->link)
            return resolvedFolder(node->path);
    }
    return node->path;
}

void FolderTreeModel::setExpanded(const QModelIndex& index, bool expanded)
{
    Node* node = nodeOf(index);
    if (!node || node->expanded == expanded)
        return;
    node->expanded = expanded;
    if (expanded) {
        m_watcher->watch(node->path);
        m_openNodes.insert(node->path, node->id);
        // What was read while it was closed may be old by now.
        if (node->read)
            read(node);
    } else {
        m_watcher->unwatch(node->path);
        m_openNodes.remove(node->path);
    }
    emit dataChanged(index, index, {Qt::DecorationRole});
}

void FolderTreeModel::refresh(const QModelIndex& index)
{
    if (Node* node = nodeOf(index))
        read(node);
}

void FolderTreeModel::folderChanged(const QByteArray& path)
{
    m_changed.insert(path);
    if (!m_changeDelay.isActive())
        m_changeDelay.start();
}

void FolderTreeModel::refreshChanged()
{
    const QSet<QByteArray> changed = std::exchange(m_changed, {});
    for (const QByteArray& path : changed) {
        if (Node* node = m_nodes.value(m_openNodes.value(path)); node && node->read)
            read(node);
    }
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const
{
    Node* node = nodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return shownName(node->name);
    case Qt::DecorationRole:
        if (node->expanded)
            return node->link ? m_openLink : m_open;
        if (node->read && node->children.empty())
            return node->link ? m_leafLink : m_leaf;
        return node->link ? m_closedLink : m_closed;
    case Qt::ToolTipRole:
        if (node->link)
            return kLinkToolTip.arg(shownName(node->path), shownName(linkTarget(node->path)));
        return shownName(node->path);
    default:
        return {};
    }
}

} // namespace zintrel
