#include "DocumentFonts.h"

#include <cmath>
#include <stdexcept>

namespace zintrel {

namespace {

constexpr char32_t kCharacterCount = 0x110000;
// Two bytes a code.
constexpr std::uint32_t kCids = 0x10000;

} // namespace

int DocumentFonts::addChain(const FontFace& primary)
{
    std::lock_guard lock(m_mutex);
    const std::size_t chains = m_chainCount.load();
    for (std::size_t i = 0; i < chains; ++i) {
        if (m_chains[i]->primary == primary)
            return static_cast<int>(i);
    }
    if (chains == kMaxChains)
        throw std::runtime_error("The PDF document has too many fonts.");
    auto chain = std::make_unique<Chain>();
    chain->primary = primary;
    chain->catalog = std::make_unique<FontCatalog>(primary);
    std::size_t slots = m_slotCount.load();
    for (std::size_t i = 0; i < chain->catalog->size(); ++i) {
        const FontFace& face = chain->catalog->face(i);
        std::size_t found = slots;
        for (std::size_t s = 0; s < slots; ++s) {
            if (m_slots[s]->face.path == face.path && m_slots[s]->face.index == face.index)
                found = s;
        }
        if (found == slots) {
            if (slots == kMaxSlots)
                break;
            m_slots[slots] = std::make_unique<Slot>();
            m_slots[slots]->face = face;
            ++slots;
        }
        chain->fonts.push_back(found);
    }
    m_slotCount.store(slots);
    chain->choice = std::make_unique<std::atomic<std::uint16_t>[]>(kCharacterCount);
    m_chains[chains] = std::move(chain);
    m_chainCount.store(chains + 1);
    return static_cast<int>(chains);
}

DocumentFonts::Slot& DocumentFonts::slot(std::size_t font) const
{
    if (font >= m_slotCount.load(std::memory_order_acquire))
        throw std::out_of_range("no such font");
    return *m_slots[font];
}

DocumentFonts::Chain& DocumentFonts::chain(int chain) const
{
    if (chain < 0 || static_cast<std::size_t>(chain) >= m_chainCount.load(std::memory_order_acquire))
        throw std::out_of_range("no such font chain");
    return *m_chains[static_cast<std::size_t>(chain)];
}

std::size_t DocumentFonts::fontCount() const { return m_slotCount.load(std::memory_order_acquire); }

const DrawingFont& DocumentFonts::font(std::size_t font) const
{
    Slot& s = slot(font);
    std::call_once(s.loaded, [&s] {
        try {
            s.font = std::make_unique<DrawingFont>(s.face.path, s.face.index);
        } catch (const std::exception& error) {
            s.failure = error.what();
        }
    });
    if (!s.font)
        throw std::runtime_error(s.failure);
    return *s.font;
}

bool DocumentFonts::fontHas(std::size_t font, char32_t c) const { return this->font(font).glyph(c) != 0; }

std::size_t DocumentFonts::fontFor(int chainId, char32_t c) const
{
    Chain* chain = &this->chain(chainId);
    if (c >= kCharacterCount)
        return chain->fonts.front();
    std::uint16_t known = chain->choice[c].load(std::memory_order_relaxed);
    if (known != 0)
        return chain->fonts[known - 1u];
    // Faces that fontconfig says have it, in order, and whose own map agrees; a face that
    // cannot be read is passed over.
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < chain->fonts.size(); ++i) {
        if (!chain->catalog->covers(i, c))
            continue;
        try {
            if (fontHas(chain->fonts[i], c)) {
                chosen = i;
                break;
            }
        } catch (const std::exception&) {
        }
    }
    chain->choice[c].store(static_cast<std::uint16_t>(chosen + 1), std::memory_order_relaxed);
    return chain->fonts[chosen];
}

GlyphCode DocumentFonts::codeOf(std::size_t font, std::uint32_t cid) const
{
    const DrawingFont& face = this->font(font);
    const std::uint32_t glyphs = face.program().glyphCount();
    GlyphCode code;
    code.cid = cid;
    if (cid < glyphs) {
        code.advance = face.advance(cid);
    } else {
        Slot& s = slot(font);
        std::lock_guard lock(s.mutex);
        code.advance = static_cast<std::int32_t>(
            std::llround(s.alternateUses.at(cid - glyphs).width * face.unitsPerEm() / 1000.0));
    }
    code.bytes[0] = static_cast<char>(cid >> 8);
    code.bytes[1] = static_cast<char>(cid & 0xFF);
    code.length = 2;
    return code;
}

GlyphCode DocumentFonts::ownCode(std::size_t font, std::uint32_t glyph) const { return codeOf(font, glyph); }

GlyphCode DocumentFonts::code(std::size_t font, std::uint32_t glyph, std::u16string_view text,
                              std::int32_t advance) const
{
    const DrawingFont& face = this->font(font);
    // A CFF font's CIDs are its glyphs: its texts go beside them.
    if (face.program().cff()) {
        GlyphCode code = codeOf(font, glyph);
        code.markText = true;
        return code;
    }
    const std::uint32_t first = face.program().glyphCount();
    const std::uint32_t limit = kCids;
    Slot& s = slot(font);
    std::uint32_t number = 0;
    bool full = false;
    {
        std::lock_guard lock(s.mutex);
        auto key = std::make_pair(glyph, std::u16string(text));
        auto found = s.alternates.find(key);
        if (found != s.alternates.end()) {
            number = found->second;
        } else {
            number = first + static_cast<std::uint32_t>(s.alternateUses.size());
            full = number >= limit;
            if (!full) {
                CidUse use;
                use.glyph = glyph;
                use.width = advance * 1000.0 / face.unitsPerEm();
                use.text = key.second;
                s.alternateUses.push_back(use);
                s.alternates.emplace(std::move(key), number);
            }
        }
    }
    if (full) {
        GlyphCode code = codeOf(font, glyph);
        code.markText = true;
        return code;
    }
    return codeOf(font, number);
}

DocumentFonts::CidUse DocumentFonts::cidUse(std::size_t font, std::uint32_t cid) const
{
    const DrawingFont& face = this->font(font);
    const std::uint32_t first = face.program().glyphCount();
    const std::uint32_t number = cid;
    if (number >= first) {
        Slot& s = slot(font);
        std::lock_guard lock(s.mutex);
        return s.alternateUses.at(number - first);
    }
    CidUse use;
    use.glyph = number;
    use.width = face.advance(number) * 1000.0 / face.unitsPerEm();
    const char32_t c = face.character(number);
    if (c >= 0x10000) {
        const char32_t v = c - 0x10000;
        use.text = {static_cast<char16_t>(0xD800 + (v >> 10)), static_cast<char16_t>(0xDC00 + (v & 0x3FF))};
    } else if (c != 0) {
        use.text = std::u16string(1, static_cast<char16_t>(c));
    }
    return use;
}

} // namespace zintrel
