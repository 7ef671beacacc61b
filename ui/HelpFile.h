#pragma once

#include <QString>
#include <QStringList>

namespace zintrel {

inline constexpr const char* kHelpFileName = "Zintrel.html";

// The help page in the first of the folders that holds it, else the one in fallbackFolder
// (which then may be missing; opening it fails silently).
QString firstHelpFile(const QStringList& folders, const QString& fallbackFolder);

// The help page to open: the one beside the program, else the installed one in the
// package's documentation folder, else the one in the current folder.
QString helpFilePath();

// The file:// address of a section of that page (section: the id of its heading), which
// stands in for the program's web pages until it has a site of its own.
QString helpPageAddress(const char* section);

} // namespace zintrel
