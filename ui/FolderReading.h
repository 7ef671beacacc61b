#pragma once

#include <QString>
#include <QStringList>

namespace zintrel {

// Reading one folder for the folder tree and the file list. Safe on any thread; a folder
// that cannot be read gives an empty list. Names come back sorted as the user reads them:
// letters without regard to case first, then by their exact bytes.
QStringList subfolderNames(const QString& folder); // folders, hidden ones included; no links
QStringList visibleFileNames(const QString& folder); // regular files (or links to one), not hidden

bool lessByName(const QString& a, const QString& b);

} // namespace zintrel
