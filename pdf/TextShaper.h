#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

struct hb_buffer_t;

namespace zintrel {

class DocumentFonts;
class DrawingFont;

// One glyph as a line is drawn: in font units from the pen's place, and the bytes of the
// line it stands for in the text layer.
struct ShapedGlyph {
    std::uint32_t glyph = 0;
    std::int32_t advance = 0;
    std::int32_t xOffset = 0;
    std::int32_t yOffset = 0;
    std::uint32_t textStart = 0;
    std::uint32_t textLength = 0; // 0: part of a cluster that another glyph stands for
    bool own = false;             // the text is the glyph's own character
    // Where a cluster has more glyphs than characters, its first glyph tells how many
    // glyphs, from it on, the cluster's text (those bytes) stands for as a whole.
    std::uint32_t spanGlyphs = 0;
    std::uint32_t spanStart = 0;
    std::uint32_t spanLength = 0;
};

// A run of glyphs of one face, in the order they stand from left to right.
struct ShapedRun {
    std::size_t font = 0;
    std::vector<ShapedGlyph> glyphs;
};

// Lays one line of text out as glyph runs. Characters go to the first face of the chain
// that has them (marks and zero-width characters stay with the face of their base), the
// line runs left to right with each part that runs the other way put in its place by the
// Unicode bidi algorithm, and runs of scripts that need it, marks and zero-width
// characters are shaped with HarfBuzz, but without ligatures or kerning, so the text layer
// keeps every character as it was written. Bytes that are no UTF-8 are drawn as U+FFFD.
// The bytes 0x01 and 0x02, which no listing line holds otherwise, open and close a bidi
// isolate that is not part of the text. One shaper a thread.
class TextShaper {
public:
    static constexpr char kIsolateOpen = '\x01';
    static constexpr char kIsolateClose = '\x02';

    explicit TextShaper(const DocumentFonts& fonts);
    ~TextShaper();
    TextShaper(const TextShaper&) = delete;
    TextShaper& operator=(const TextShaper&) = delete;

    // runs: replaced by the line's runs, left to right.
    void shape(std::string_view line, int chain, std::vector<ShapedRun>& runs);

private:
    struct Character {
        char32_t c;
        std::uint32_t byte;   // where it starts in the line
        std::uint32_t length; // its bytes
        std::size_t font;
        std::uint8_t level;
        int script;
        bool hidden; // an isolate of the drawing's own
        bool plain;  // its own glyph, as it is, in its face
    };

    void decode(std::string_view line);
    void resolveLevels();
    void chooseFonts(int chain);
    void shapeRun(std::size_t first, std::size_t end, ShapedRun& run);
    void raiseMarks(ShapedRun& run, std::size_t first, std::size_t from, std::size_t count, const DrawingFont& face);

    const DocumentFonts& m_fonts;
    hb_buffer_t* m_buffer;
    std::vector<Character> m_characters;
    std::vector<std::uint32_t> m_codepoints;
};

} // namespace zintrel
