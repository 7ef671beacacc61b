#pragma once

#include <functional>
#include <optional>
#include <string>

namespace zintrel {

// A font's ToUnicode map gives each glyph the lowest character that uses it. Where glyphs
// are shared that is often not the character drawn: the blank comes out as a tab, and CJK
// ideographs such as 文 as their Kangxi radical look-alikes (⽂), so copied or searched text
// would not match the file names. Returns cmap with every such character that was never
// drawn moved to the drawn character it stands for (a control character to the blank, a
// compatibility character to its single-character decomposition); the rest is unchanged.
std::string repairToUnicode(const std::string& cmap, const std::function<bool(char32_t)>& drawn);

// QPdfWriter looks for each glyph's character in the Basic Multilingual Plane only, so a
// glyph drawn for a character beyond it (an emoji, a rare ideograph) gets none, and is
// extracted as nothing, or the plane's look-alike that shares it (the radical ⺇ for 𠘨).
// Returns cmap with such glyphs among the codes below codeCount moved to the character
// that characterOf knows them by: an entry added where there was none, an entry whose
// character was never drawn changed. The rest is unchanged.
std::string completeToUnicode(const std::string& cmap, unsigned codeCount,
                              const std::function<std::optional<char32_t>(unsigned code)>& characterOf,
                              const std::function<bool(char32_t)>& drawn);

} // namespace zintrel
