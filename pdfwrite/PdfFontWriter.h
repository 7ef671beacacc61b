#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zintrel {

class FontProgram;
class PdfFileWriter;

// A glyph as the document shows it: its CID, the glyph it draws and its advance.
struct FontGlyph {
    std::uint32_t cid = 0;
    std::uint32_t glyph = 0;
    double width = 0; // in thousandths of an em
};

// A code of the page contents, with its CID and the text it stands for (UTF-16; empty for
// a glyph that draws part of a character another glyph stands for).
struct FontCode {
    std::string code; // two bytes, the CID (Identity-H)
    std::uint32_t cid = 0;
    std::u16string text;
};

// Writes a composite font (Type0 over a CIDFont, Identity-H) as object type0Number: its
// program cut to the glyphs shown, named as a subset, the widths of its CIDs, the map from
// CIDs to glyphs where they differ, and a ToUnicode map with an entry for every code of
// codes that stands for a text. Deterministic: the same glyphs and codes give the same
// objects. glyphs and codes sorted by CID and code.
void writeFont(PdfFileWriter& writer, int type0Number, const FontProgram& program, const std::vector<FontGlyph>& glyphs,
               const std::vector<FontCode>& codes);

// The six capital letters that name a subset: the same for the same font and glyphs.
std::string subsetTag(const FontProgram& program, const std::vector<FontGlyph>& glyphs);

} // namespace zintrel
