#pragma once

#include <cmath>
#include <cstdint>

namespace zintrel {

// The nearest whole number, halves going to the even neighbour (286.5 gives 286, 287.5
// gives 288), whatever rounding mode the process runs in.
inline std::int64_t roundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double fraction = value - floor;
    const auto whole = static_cast<std::int64_t>(floor);
    if (fraction > 0.5)
        return whole + 1;
    if (fraction < 0.5)
        return whole;
    return whole % 2 == 0 ? whole : whole + 1;
}

} // namespace zintrel
