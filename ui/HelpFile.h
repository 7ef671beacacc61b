#pragma once

#include <QString>

namespace zintrel {

inline constexpr const char* kHelpFileName = "Zintrel.html";

// The help page to open: the one beside the program when it is there, else the one in the
// current folder (which then may be missing; opening it fails silently).
QString helpFilePath();

// The file:// address of a section of that page (section: the id of its heading), which
// stands in for the program's web pages until it has a site of its own.
QString helpPageAddress(const char* section);

} // namespace zintrel
