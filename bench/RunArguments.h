#pragma once

#include <ctime>
#include <string>

namespace zintrel {

// Arguments that the harness and zintrel-list read alike.

// A local time written YYYY-MM-DDTHH:MM:SS; false when the text is not one.
bool parseLocalTime(const std::string& text, std::time_t& time);

// The folder as the folder tree gives it: absolute, with a final "/" only at the root.
std::string treeSelection(const std::string& folder);

} // namespace zintrel
