#pragma once

#include <cstdint>
#include <string>

namespace zintrel {

// The attribute bits of an entry, with the letters R H S V D A in this order.
enum AttributeBit : std::uint32_t {
    kReadOnly = 1,
    kHidden = 2,
    kSystem = 4,
    kVolumeId = 8,
    kDirectory = 16,
    kArchive = 32,
};

inline constexpr int kAttributeCount = 6;
inline constexpr char kAttributeLetters[] = "RHSVDA";

// The letters of the bits that are set, in the order R, H, S, V, D, A; nothing for a bit
// that is not.
inline void appendAttributeLetters(std::string& out, std::uint32_t attributes)
{
    for (int bit = 0; bit < kAttributeCount; ++bit) {
        if (attributes & (1u << bit))
            out += kAttributeLetters[bit];
    }
}

} // namespace zintrel
