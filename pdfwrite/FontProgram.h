#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct hb_face_t;
struct hb_font_t;

namespace zintrel {

// One face of a font file (TrueType or CFF outlines in an sfnt, or in a collection), as a
// PDF embeds it: its metrics for the font descriptor and its subsets. Immutable once
// loaded, so any thread may read it.
class FontProgram {
public:
    // Throws std::runtime_error naming the file when it cannot be read as such a font.
    FontProgram(const std::string& path, int index);
    ~FontProgram();
    FontProgram(const FontProgram&) = delete;
    FontProgram& operator=(const FontProgram&) = delete;

    const std::string& path() const { return m_path; }
    int index() const { return m_index; }
    hb_face_t* face() const { return m_face; }
    // A font at the size of one unit a font unit, for shaping and advances.
    hb_font_t* font() const { return m_font; }

    unsigned unitsPerEm() const { return m_unitsPerEm; }
    unsigned glyphCount() const { return m_glyphCount; }
    // CFF outlines (embedded as OpenType), rather than TrueType ones.
    bool cff() const { return m_cff; }
    // The PostScript name, made fit for a PDF name.
    const std::string& postScriptName() const { return m_postScriptName; }
    // In font units.
    int ascent() const { return m_ascent; }
    int descent() const { return m_descent; }
    int capHeight() const { return m_capHeight; }
    double italicAngle() const { return m_italicAngle; }
    const int* boundingBox() const { return m_box; } // xMin yMin xMax yMax

    // The program with only these glyphs drawn (glyph numbers kept, glyph 0 always in),
    // and a character map of these characters. Throws std::runtime_error when the subsetter
    // refuses the font.
    std::string subset(const std::vector<std::uint32_t>& glyphs, const std::vector<char32_t>& characters) const;

private:
    std::string m_path;
    int m_index;
    hb_face_t* m_face = nullptr;
    hb_font_t* m_font = nullptr;
    unsigned m_unitsPerEm = 1000;
    unsigned m_glyphCount = 0;
    bool m_cff = false;
    std::string m_postScriptName;
    int m_ascent = 0;
    int m_descent = 0;
    int m_capHeight = 0;
    double m_italicAngle = 0;
    int m_box[4] = {0, 0, 0, 0};
};

} // namespace zintrel
