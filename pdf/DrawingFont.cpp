#include "DrawingFont.h"

#include <hb.h>

namespace zintrel {

bool isStandIn(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xAD || c == 0xB5 || (c >= 0x2000 && c <= 0x200F)
        || (c >= 0x2028 && c <= 0x202F) || (c >= 0x205F && c <= 0x206F) || (c >= 0x2E80 && c <= 0x2FDF)
        || (c >= 0x3300 && c <= 0x33FF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE00 && c <= 0xFE0F)
        || (c >= 0xFE30 && c <= 0xFE4F) || c == 0xFEFF || (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x2F800 && c <= 0x2FA1F)
        || (c >= 0xE0000 && c <= 0xE0FFF);
}

DrawingFont::DrawingFont(const std::string& path, int index)
    : m_program(path, index)
    , m_basic(0x10000, 0)
    , m_characters(m_program.glyphCount(), 0)
    , m_advances(m_program.glyphCount(), 0)
{
    hb_font_t* font = m_program.font();
    hb_set_t* characters = hb_set_create();
    hb_face_collect_unicodes(m_program.face(), characters);
    for (hb_codepoint_t c = HB_SET_VALUE_INVALID; hb_set_next(characters, &c);) {
        hb_codepoint_t glyph = 0;
        if (!hb_font_get_nominal_glyph(font, c, &glyph) || glyph == 0 || glyph >= m_characters.size())
            continue;
        if (c < m_basic.size())
            m_basic[c] = static_cast<std::uint16_t>(glyph);
        else
            m_supplementary.emplace(c, glyph);
        // The characters come in order: the first one that is no stand-in wins, a stand-in
        // only where nothing else has the glyph.
        char32_t& known = m_characters[glyph];
        if (known == 0 || (isStandIn(known) && !isStandIn(c)))
            known = c;
    }
    hb_set_destroy(characters);
    std::vector<hb_codepoint_t> glyphs(m_advances.size());
    for (std::size_t g = 0; g < glyphs.size(); ++g)
        glyphs[g] = static_cast<hb_codepoint_t>(g);
    if (!glyphs.empty())
        hb_font_get_glyph_h_advances(font, static_cast<unsigned>(glyphs.size()), glyphs.data(), sizeof(hb_codepoint_t),
                                     m_advances.data(), sizeof(std::int32_t));
}

} // namespace zintrel
