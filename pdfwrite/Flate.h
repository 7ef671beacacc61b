#pragma once

#include <string>
#include <string_view>

namespace zintrel {

// PDF's FlateDecode, with zlib. level: 1 (fastest) to 9 (smallest).
std::string deflated(std::string_view data, int level = 6);
// Throws std::runtime_error for data that is no zlib stream.
std::string inflated(std::string_view data);

} // namespace zintrel
