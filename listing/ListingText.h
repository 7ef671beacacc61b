#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zintrel {

// Extends text with blanks at its end to at least width characters; never shortens.
std::string padRight(std::string text, int width);

// Puts the letters a to z in capitals and leaves every other byte alone.
std::string toUpperAscii(std::string_view text);

// bytes / 1024 rounded to the nearest whole number, halves to the even neighbour.
constexpr std::int64_t roundedKb(std::int64_t bytes)
{
    std::int64_t quotient = bytes / 1024;
    std::int64_t remainder = bytes % 1024;
    if (remainder > 512 || (remainder == 512 && (quotient & 1)))
        ++quotient;
    return quotient;
}

// Appends text with every byte below 0x20 and 0x7F written as "?", so that one entry stays
// one line whatever its name holds.
void appendOneLine(std::string& out, std::string_view text);

// Unicode's first strong isolate and pop directional isolate, in UTF-8. Around a name in
// the listing a PDF is drawn from, they keep a right-to-left name (or one holding a
// direction override) inside its own column: the line stays left to right.
inline constexpr std::string_view kIsolateStart = "\xE2\x81\xA8";
inline constexpr std::string_view kIsolateEnd = "\xE2\x81\xA9";

// Whether UTF-8 text holds a letter written right to left (Hebrew, Arabic, ...) or a
// character that sets the direction itself: only such a name can move the columns around
// it, and needs the isolates. Bytes that are no UTF-8 hold neither.
bool hasRightToLeft(std::string_view text);

enum class OutputType { Text = 1, Pdf = 2 };

// The chosen target name with ".txt" or ".pdf" appended unless it already ends in it, in
// any mix of case.
std::string completeTargetName(const std::string& name, OutputType type);

} // namespace zintrel
