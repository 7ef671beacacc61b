#pragma once

// The font files the font tests embed.

#include <string>

namespace zintrel::test {

// Liberation Sans Regular (TrueType outlines).
std::string liberationSans();
// Nimbus Sans Regular as an OpenType file with CFF outlines.
std::string nimbusSansOpenType();

} // namespace zintrel::test
