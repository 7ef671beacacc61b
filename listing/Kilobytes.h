#pragma once

#include <cstdint>

namespace zintrel {

// bytes / 1024 rounded to the nearest whole number, halves to the even neighbour: what a
// folder line's Size column shows (always 0).
constexpr std::int64_t roundedKb(std::int64_t bytes)
{
    std::int64_t quotient = bytes / 1024;
    std::int64_t remainder = bytes % 1024;
    if (remainder > 512 || (remainder == 512 && (quotient & 1)))
        ++quotient;
    return quotient;
}

// What an entry weighs in the size filter and the total, and what a file line's Size column
// shows: roundedKb plus 1, so even an empty file or a folder counts 1.
constexpr std::int64_t sizeValueKb(std::int64_t bytes) { return roundedKb(bytes) + 1; }

} // namespace zintrel
