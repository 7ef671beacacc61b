#pragma once

#include <QByteArray>
#include <QString>

namespace zintrel {

// Where the window starts when it is given a folder, as file managers do with "Open with":
// a path (relative ones from the current folder) or a file:// address. A file stands for the
// folder that holds it.
struct StartFolder {
    QByteArray folder; // the full path as the file system spells it; empty when refused
    QString problem;   // why it was refused, for the error box
};

StartFolder resolveStartFolder(const QByteArray& argument);

} // namespace zintrel
