#pragma once

#include <functional>
#include <string>

namespace zintrel {

// A font's ToUnicode map gives each glyph the lowest character that uses it. Where glyphs
// are shared that is often not the character drawn: the blank comes out as a tab, and CJK
// ideographs such as 文 as their Kangxi radical look-alikes (⽂), so copied or searched text
// would not match the file names. Returns cmap with every such character that was never
// drawn moved to the drawn character it stands for (a control character to the blank, a
// compatibility character to its single-character decomposition); the rest is unchanged.
std::string repairToUnicode(const std::string& cmap, const std::function<bool(char32_t)>& drawn);

} // namespace zintrel
