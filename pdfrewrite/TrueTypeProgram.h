#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zintrel {

// The glyphs of a TrueType font program (an sfnt with glyf, loca, head, maxp, hhea and
// hmtx tables), as a PDF embeds it in /FontFile2.
class TrueTypeProgram {
public:
    // Nothing when program lacks one of those tables or one of them does not fit in it.
    static std::optional<TrueTypeProgram> read(std::string program);

    int glyphCount() const { return m_glyphCount; }
    // What tells one glyph of the program from another: its outline as stored and its
    // advance width. Two programs that store a glyph alike give it the same signature.
    // Empty for a glyph the program does not have.
    std::string signature(int glyph) const;

private:
    // Where a table lies in the program.
    struct Range {
        std::size_t offset = 0;
        std::size_t size = 0;
    };

    explicit TrueTypeProgram(std::string program);

    bool readTables();
    std::optional<Range> table(std::string_view tag) const;
    std::string_view bytes(Range range) const;
    // Offset of glyph's outline in glyf.
    std::size_t outlineOffset(int glyph) const;

    std::string m_program;
    Range m_glyf;
    Range m_loca;
    Range m_hmtx;
    bool m_longOffsets = false;
    int m_glyphCount = 0;
    int m_metricCount = 0;
};

} // namespace zintrel
