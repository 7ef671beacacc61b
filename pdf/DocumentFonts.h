#pragma once

#include "DrawingFont.h"
#include "FontCatalog.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zintrel {

// How a glyph goes into the page contents: its code, two bytes that are its CID (the
// encoding is Identity-H, which every reader knows), and whether, as no CID can stand for
// its text, the text must be marked beside it.
struct GlyphCode {
    char bytes[2] = {0, 0};
    std::uint8_t length = 0;
    std::uint32_t cid = 0;
    std::int32_t advance = 0; // what a reader advances by, in font units
    bool markText = false;    // the text goes beside it (ActualText), as no ToUnicode entry can say it
};

// The fonts of one document and its parts, shared by every thread that draws it: the faces
// of each chain (a face and what fontconfig falls back on for it), loaded when first
// needed, each glyph's code, and the codes whose text is not the glyph's own character
// (a zero-width character drawn as an empty glyph, a character no face has drawn as the
// missing-glyph box, part of a shaped cluster), numbered in the order first met. Numbers,
// codes and the order of faces follow from the text drawn alone, so the same listing gives
// the same document on one thread or many.
class DocumentFonts {
public:
    // Faces of a chain are numbered in its order as it is added; the same primary face
    // gives the same chain.
    int addChain(const FontFace& primary);

    // The face numbered font, loaded now if need be.
    const DrawingFont& font(std::size_t font) const;
    std::size_t fontCount() const;

    // The face of chain that draws c: the first that has it; the first face when none has.
    std::size_t fontFor(int chain, char32_t c) const;
    // Whether face font has c (from fontconfig's record, then its own map).
    bool fontHas(std::size_t font, char32_t c) const;

    // The code of glyph as it stands for text (UTF-16), with the advance it is drawn with
    // (font units), when text is not the glyph's own character.
    GlyphCode code(std::size_t font, std::uint32_t glyph, std::u16string_view text, std::int32_t advance) const;
    // The code of glyph for its own character.
    GlyphCode ownCode(std::size_t font, std::uint32_t glyph) const;
    // The code that shows cid.
    GlyphCode codeOfCid(std::size_t font, std::uint32_t cid) const { return codeOf(font, cid); }

    // What a CID of font stands for, for embedding.
    struct CidUse {
        std::uint32_t glyph = 0;
        double width = 0;    // thousandths of an em
        std::u16string text; // empty: part of a cluster another glyph stands for
    };
    CidUse cidUse(std::size_t font, std::uint32_t cid) const;

private:
    struct Slot {
        FontFace face;
        mutable std::once_flag loaded;
        mutable std::unique_ptr<DrawingFont> font;
        mutable std::string failure;
        // Codes of texts that are not a glyph's own character: key glyph and text.
        mutable std::mutex mutex;
        mutable std::map<std::pair<std::uint32_t, std::u16string>, std::uint32_t> alternates;
        mutable std::vector<CidUse> alternateUses; // by number - the font's glyph count
    };
    struct Chain {
        FontFace primary;
        std::unique_ptr<FontCatalog> catalog;
        std::vector<std::size_t> fonts; // slot of each face of the catalog
        // The face that draws each character, found once: 0 not yet looked at, else face + 1.
        std::unique_ptr<std::atomic<std::uint16_t>[]> choice;
    };

    Slot& slot(std::size_t font) const;
    Chain& chain(int chain) const;
    // A glyph's CID (below the font's glyph count, the glyph itself) or an alternate's
    // (from it), as a code.
    GlyphCode codeOf(std::size_t font, std::uint32_t cid) const;

    // Slots and chains are only ever added, under the mutex, and never move: readers take
    // them without it, up to the counts published.
    static constexpr std::size_t kMaxSlots = 4096;
    static constexpr std::size_t kMaxChains = 64;
    std::mutex m_mutex;
    std::unique_ptr<Slot> m_slots[kMaxSlots];
    std::unique_ptr<Chain> m_chains[kMaxChains];
    std::atomic<std::size_t> m_slotCount{0};
    std::atomic<std::size_t> m_chainCount{0};
};

} // namespace zintrel
