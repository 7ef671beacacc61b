#pragma once

#include "pdfrewrite/PdfFinisher.h"

#include <QChar>
#include <QRawFont>
#include <QString>

#include <map>
#include <set>
#include <utility>

class QFont;

namespace zintrel {

// The glyphs that draw characters beyond the Basic Multilingual Plane (emoji, rare
// ideographs), which QPdfWriter's ToUnicode maps leave out. QPdfWriter embeds every glyph
// as an outline of its own making, numbered in the order of first use, so such a glyph is
// known in the finished document only by the outline: the one QPdfWriter makes for the
// same glyph in a small document of known order. Needs a QGuiApplication.
class SupplementaryGlyphs {
public:
    // Notes the glyph of every such character of line, drawn in font, not yet noted for the
    // font's families and the script around it; a line whose characters are all noted
    // costs no layout.
    void note(const QString& line, const QFont& font);

    // For PdfFinish::glyphCharacters: every noted glyph, as QPdfWriter embeds it. Glyphs
    // that embed alike (the empty outlines of a font that may not be embedded) are left
    // out, as is a font whose embedding cannot be read back.
    GlyphCharacters characters() const;

private:
    // One font file's glyphs, each with the first character noted for it.
    struct Face {
        QRawFont font;
        std::map<quint32, char32_t> characters;
    };

    std::map<QString, Face> m_faces; // by family and style
    // By font families: each character with the script it was met in.
    std::map<QString, std::set<std::pair<QChar::Script, char32_t>>> m_noted;
};

} // namespace zintrel
