#pragma once

#include <cstdint>
#include <string>

namespace zintrel {

// The /P value of a document's encryption from its permission flags, each 1 (granted) or
// 0: print, copy text and graphics, change the document, add or change annotations, fill
// in forms, assemble (insert, rotate, delete pages), extraction for accessibility (granted
// whatever it says, so screen readers keep working), print at full quality, which needs
// print. Throws std::runtime_error for a flag that is neither.
std::uint32_t permissionValue(int print, int copy, int change, int annotate, int fillForms, int assemble,
                              int accessibility, int printHighQuality);

// A password nobody can guess: 64 hexadecimal digits from the system's random source.
std::string randomPassword();

} // namespace zintrel
