#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

// "MS Sans Serif", the windows' and the listing's default face, draws in a metric-compatible
// font of this system: Liberation Sans, else Nimbus Sans. Families without substitutes have
// none.
std::vector<std::string> fontSubstitutes(std::string_view family);

} // namespace zintrel
