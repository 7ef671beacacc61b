#pragma once

#include <string>
#include <string_view>

namespace zintrel {

// Extends text with blanks at its end to at least width characters; never shortens.
std::string padRight(std::string text, int width);

// Appends text with every byte below 0x20 and 0x7F written as "?", so that one entry stays
// one line whatever its name holds.
void appendOneLine(std::string& out, std::string_view text);

} // namespace zintrel
