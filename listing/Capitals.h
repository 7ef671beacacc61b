#pragma once

#include <string>
#include <string_view>

namespace zintrel {

// The one capitalisation rule of listings, masks and name order: the letters a to z become
// A to Z, and every other byte stays as it is. Needs no locale.
constexpr unsigned char capital(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

inline std::string toUpperAscii(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(capital(static_cast<unsigned char>(c)));
    return upper;
}

} // namespace zintrel
