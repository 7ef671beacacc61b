#pragma once

#include "pdfwrite/FontProgram.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace zintrel {

// A face as the drawing uses it: its glyph for each character, the character each glyph
// stands for, and the glyphs' advances. Immutable once made; any thread reads it.
class DrawingFont {
public:
    DrawingFont(const std::string& path, int index);

    const FontProgram& program() const { return m_program; }
    unsigned unitsPerEm() const { return m_program.unitsPerEm(); }

    // The glyph the face's character map gives c; 0 when it has none.
    std::uint32_t glyph(char32_t c) const
    {
        if (c < m_basic.size())
            return m_basic[c];
        auto found = m_supplementary.find(c);
        return found == m_supplementary.end() ? 0 : found->second;
    }
    // The one character a glyph stands for when the text layer meets it: of the characters
    // the map gives it, the first that is no compatibility form (the blank, not the
    // no-break space; the letter, not the radical); 0 for a glyph no character has.
    char32_t character(std::uint32_t glyph) const { return glyph < m_characters.size() ? m_characters[glyph] : 0; }
    // In font units.
    std::int32_t advance(std::uint32_t glyph) const { return glyph < m_advances.size() ? m_advances[glyph] : 0; }

private:
    FontProgram m_program;
    std::vector<std::uint16_t> m_basic; // by character, below U+10000
    std::unordered_map<char32_t, std::uint32_t> m_supplementary;
    std::vector<char32_t> m_characters; // by glyph
    std::vector<std::int32_t> m_advances;
};

// Characters that only stand in for others: radicals and compatibility ideographs, the
// micro sign, width variants, format characters and controls.
bool isStandIn(char32_t c);

} // namespace zintrel
