#pragma once

#include <QString>

namespace zintrel {

inline constexpr const char* kHelpFileName = "Zintrel.html";

// The help page to open: the one beside the program when it is there, else the one in the
// current folder (which then may be missing; opening it fails silently).
QString helpFilePath();

} // namespace zintrel
