#pragma once

#include "Capitals.h"

#include <string_view>

namespace zintrel {

// The order of names in a folder, as listings and the windows show them: byte by byte
// after the letters a to z are put in capitals; names equal under that compare by their
// raw bytes. Needs no locale, so it is the same in every window and every listing.
inline bool nameLess(std::string_view a, std::string_view b)
{
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        unsigned char x = capital(static_cast<unsigned char>(a[i]));
        unsigned char y = capital(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b; // std::string_view compares as unsigned bytes
}

} // namespace zintrel
