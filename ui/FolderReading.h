#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace zintrel {

// Reading one folder for the folder tree and the file list. Names and paths are the file
// system's bytes, whatever they hold; they become text only to be shown. Safe on any
// thread; a folder that cannot be read gives an empty list. Names come back in the order
// the listings use (nameLess).
using Names = QList<QByteArray>;
Names visibleFileNames(const QByteArray& folder); // regular files (or links to one), not hidden

// A folder's subfolders: folders, hidden ones included, and symbolic links that lead to a
// folder (not those that lead nowhere or to anything else).
struct Subfolder {
    QByteArray name;
    bool link = false;
};
using Subfolders = QList<Subfolder>;
Subfolders subfolders(const QByteArray& folder);

// Where a folder given by its path really is: its path with every symbolic link on the way
// followed, or the path as it is when it cannot be followed (it is gone meanwhile).
QByteArray resolvedFolder(const QByteArray& path);

// A name or path as the windows show it: UTF-8, with U+FFFD where its bytes are not.
QString shownName(const QByteArray& bytes);
// A folder and a name in it.
QByteArray childPath(const QByteArray& folder, const QByteArray& name);

} // namespace zintrel
