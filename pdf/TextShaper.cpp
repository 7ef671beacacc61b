#include "TextShaper.h"

#include "DocumentFonts.h"

#include <fribidi.h>
#include <hb.h>

#include <algorithm>

namespace zintrel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kFirstStrongIsolate = 0x2068;
constexpr char32_t kPopDirectionalIsolate = 0x2069;
// Below this no character runs right to left or sets a direction.
constexpr char32_t kFirstRightToLeft = 0x0590;

bool defaultIgnorable(char32_t c)
{
    return c == 0xAD || c == 0x34F || c == 0x61C || (c >= 0x115F && c <= 0x1160) || (c >= 0x17B4 && c <= 0x17B5)
        || (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0
        || (c >= 0xFFF0 && c <= 0xFFF8) || (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0x1D173 && c <= 0x1D17A)
        || (c >= 0xE0000 && c <= 0xE0FFF);
}

bool mark(hb_unicode_funcs_t* unicode, char32_t c)
{
    const hb_unicode_general_category_t category = hb_unicode_general_category(unicode, c);
    return category == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK
        || category == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK
        || category == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK;
}

// Scripts whose characters each draw their own glyph, one after another.
bool simpleScript(hb_script_t script)
{
    switch (script) {
    case HB_SCRIPT_COMMON:
    case HB_SCRIPT_LATIN:
    case HB_SCRIPT_GREEK:
    case HB_SCRIPT_CYRILLIC:
    case HB_SCRIPT_ARMENIAN:
    case HB_SCRIPT_GEORGIAN:
    case HB_SCRIPT_HAN:
    case HB_SCRIPT_HIRAGANA:
    case HB_SCRIPT_KATAKANA:
    case HB_SCRIPT_BOPOMOFO:
    case HB_SCRIPT_ETHIOPIC:
    case HB_SCRIPT_CHEROKEE:
    case HB_SCRIPT_CANADIAN_SYLLABICS:
    case HB_SCRIPT_YI:
        return true;
    default:
        return false;
    }
}

bool precomposedHangul(char32_t c) { return c >= 0xAC00 && c <= 0xD7A3; }

hb_bool_t neverCompose(hb_unicode_funcs_t*, hb_codepoint_t, hb_codepoint_t, hb_codepoint_t*, void*) { return false; }

// The default character data, but a letter and its marks are never composed into one
// glyph: a name written with separate marks keeps them as glyphs of their own, each
// standing for its own character, placed over its letter by the font's mark positioning.
hb_unicode_funcs_t* separateMarks()
{
    static hb_unicode_funcs_t* funcs = [] {
        hb_unicode_funcs_t* made = hb_unicode_funcs_create(hb_unicode_funcs_get_default());
        hb_unicode_funcs_set_compose_func(made, neverCompose, nullptr, nullptr);
        hb_unicode_funcs_make_immutable(made);
        return made;
    }();
    return funcs;
}

} // namespace

TextShaper::TextShaper(const DocumentFonts& fonts)
    : m_fonts(fonts)
    , m_buffer(hb_buffer_create())
{
}

TextShaper::~TextShaper() { hb_buffer_destroy(m_buffer); }

void TextShaper::decode(std::string_view line)
{
    m_characters.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    const std::size_t n = line.size();
    for (std::size_t i = 0; i < n;) {
        char32_t c = s[i];
        std::size_t length = 1;
        bool hidden = false;
        if (c == static_cast<unsigned char>(kIsolateOpen)) {
            c = kFirstStrongIsolate;
            hidden = true;
        } else if (c == static_cast<unsigned char>(kIsolateClose)) {
            c = kPopDirectionalIsolate;
            hidden = true;
        } else if (c >= 0x80) {
            char32_t minimum = 0;
            if (c >= 0xF0 && c <= 0xF4) {
                length = 4;
                c &= 0x07;
                minimum = 0x10000;
            } else if (c >= 0xE0 && c <= 0xEF) {
                length = 3;
                c &= 0x0F;
                minimum = 0x800;
            } else if (c >= 0xC2 && c <= 0xDF) {
                length = 2;
                c &= 0x1F;
                minimum = 0x80;
            } else {
                length = 0;
            }
            bool valid = length > 0 && i + length <= n;
            for (std::size_t k = 1; valid && k < length; ++k) {
                if ((s[i + k] & 0xC0) != 0x80)
                    valid = false;
                else
                    c = c << 6 | (s[i + k] & 0x3F);
            }
            if (valid && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
                valid = false;
            if (!valid) {
                c = kReplacement;
                length = 1;
            }
        }
        m_characters.push_back(Character{c, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(length), 0, 0,
                                         HB_SCRIPT_COMMON, hidden, false});
        i += length;
    }
}

void TextShaper::resolveLevels()
{
    bool needed = false;
    for (const Character& ch : m_characters)
        needed = needed || ch.c >= kFirstRightToLeft;
    if (!needed)
        return;
    const std::size_t n = m_characters.size();
    std::vector<FriBidiChar> text(n);
    for (std::size_t i = 0; i < n; ++i)
        text[i] = m_characters[i].c;
    std::vector<FriBidiCharType> types(n);
    std::vector<FriBidiBracketType> brackets(n);
    std::vector<FriBidiLevel> levels(n);
    fribidi_get_bidi_types(text.data(), static_cast<FriBidiStrIndex>(n), types.data());
    fribidi_get_bracket_types(text.data(), static_cast<FriBidiStrIndex>(n), types.data(), brackets.data());
    FriBidiParType direction = FRIBIDI_PAR_LTR;
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), static_cast<FriBidiStrIndex>(n), &direction,
                                            levels.data())
        == 0)
        return;
    for (std::size_t i = 0; i < n; ++i)
        m_characters[i].level = static_cast<std::uint8_t>(levels[i]);
}

void TextShaper::chooseFonts(int chain)
{
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    std::size_t previousFont = static_cast<std::size_t>(-1);
    int previousScript = HB_SCRIPT_COMMON;
    for (Character& ch : m_characters) {
        const bool follower = ch.hidden || defaultIgnorable(ch.c) || mark(unicode, ch.c);
        if (follower && previousFont != static_cast<std::size_t>(-1)
            && (ch.hidden || defaultIgnorable(ch.c) || m_fonts.fontHas(previousFont, ch.c)))
            ch.font = previousFont;
        else
            ch.font = m_fonts.fontFor(chain, ch.c);
        previousFont = ch.font;

        hb_script_t script = hb_unicode_script(unicode, ch.c);
        if (script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN)
            script = static_cast<hb_script_t>(previousScript);
        ch.script = script;
        previousScript = script;

        const DrawingFont& face = m_fonts.font(ch.font);
        const std::uint32_t glyph = face.glyph(ch.c);
        ch.plain = !ch.hidden && !follower && glyph != 0 && face.character(glyph) == ch.c && ch.level % 2 == 0
            && (simpleScript(script) || precomposedHangul(ch.c) || script == HB_SCRIPT_COMMON);
    }
    // Common characters before the first script take the script that follows them.
    int following = HB_SCRIPT_COMMON;
    for (auto it = m_characters.rbegin(); it != m_characters.rend(); ++it) {
        if (it->script != HB_SCRIPT_COMMON)
            following = it->script;
        else
            it->script = following;
    }
}

void TextShaper::shapeRun(std::size_t first, std::size_t end, ShapedRun& run)
{
    const DrawingFont& face = m_fonts.font(run.font);
    bool plain = true;
    for (std::size_t i = first; i < end; ++i)
        plain = plain && m_characters[i].plain;
    if (plain) {
        for (std::size_t i = first; i < end; ++i) {
            const Character& ch = m_characters[i];
            ShapedGlyph glyph;
            glyph.glyph = face.glyph(ch.c);
            glyph.advance = face.advance(glyph.glyph);
            glyph.textStart = ch.byte;
            glyph.textLength = ch.length;
            glyph.own = true;
            run.glyphs.push_back(glyph);
        }
        return;
    }
    // The whole line is the context, so that joining and marks see their neighbours.
    m_codepoints.resize(m_characters.size());
    for (std::size_t i = 0; i < m_characters.size(); ++i)
        m_codepoints[i] = m_characters[i].c;
    hb_buffer_clear_contents(m_buffer);
    hb_buffer_set_unicode_funcs(m_buffer, separateMarks());
    hb_buffer_add_codepoints(m_buffer, m_codepoints.data(), static_cast<int>(m_codepoints.size()),
                             static_cast<unsigned>(first), static_cast<int>(end - first));
    const Character& lead = m_characters[first];
    hb_buffer_set_direction(m_buffer, lead.level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_set_script(m_buffer, static_cast<hb_script_t>(lead.script));
    hb_buffer_set_cluster_level(m_buffer, HB_BUFFER_CLUSTER_LEVEL_MONOTONE_GRAPHEMES);
    // No glyph may stand for more characters than the font's own map says, and the
    // advances stay the glyphs' own.
    static const hb_feature_t kFeatures[] = {
        {HB_TAG('l', 'i', 'g', 'a'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('c', 'l', 'i', 'g'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('d', 'l', 'i', 'g'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('h', 'l', 'i', 'g'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('k', 'e', 'r', 'n'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
    };
    hb_shape(face.program().font(), m_buffer, kFeatures, sizeof kFeatures / sizeof kFeatures[0]);
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(m_buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(m_buffer, &count);

    // Each cluster reaches up to the next one in the line's order.
    std::vector<std::uint32_t> starts;
    starts.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        starts.push_back(infos[i].cluster);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    auto clusterEnd = [&](std::uint32_t cluster) {
        auto next = std::upper_bound(starts.begin(), starts.end(), cluster);
        return next == starts.end() ? static_cast<std::uint32_t>(end) : *next;
    };
    const bool rightToLeft = lead.level % 2 != 0;
    for (unsigned i = 0; i < count;) {
        // The glyphs of one cluster, and its characters, those of the drawing's own isolates
        // left out.
        const std::uint32_t cluster = infos[i].cluster;
        unsigned last = i + 1;
        while (last < count && infos[last].cluster == cluster)
            ++last;
        std::uint32_t from = cluster;
        std::uint32_t to = clusterEnd(cluster);
        while (from < to && m_characters[from].hidden)
            ++from;
        while (to > from && m_characters[to - 1].hidden)
            --to;
        const std::size_t first = run.glyphs.size();
        for (unsigned k = i; k < last; ++k) {
            ShapedGlyph glyph;
            glyph.glyph = infos[k].codepoint;
            glyph.advance = positions[k].x_advance;
            glyph.xOffset = positions[k].x_offset;
            glyph.yOffset = positions[k].y_offset;
            run.glyphs.push_back(glyph);
        }
        // Each glyph stands for one character in the order of the text (a joiner and its
        // letter, a letter and its mark), the last one for the rest; glyphs beyond the
        // characters are marked with the cluster's text as a whole.
        const std::size_t glyphs = last - i;
        const std::size_t characters = to - from;
        for (std::size_t k = 0; k < glyphs && k < characters; ++k) {
            ShapedGlyph& glyph = run.glyphs[first + (rightToLeft ? glyphs - 1 - k : k)];
            const Character& start = m_characters[from + k];
            const Character& end = k + 1 == glyphs ? m_characters[to - 1] : start;
            glyph.textStart = start.byte;
            glyph.textLength = end.byte + end.length - start.byte;
            glyph.own = &start == &end && glyph.glyph != 0 && face.character(glyph.glyph) == start.c;
        }
        if (!rightToLeft)
            raiseMarks(run, first, from, std::min(glyphs, characters), face);
        if (glyphs > characters && characters > 0) {
            ShapedGlyph& opener = run.glyphs[first];
            opener.spanGlyphs = static_cast<std::uint32_t>(glyphs);
            opener.spanStart = m_characters[from].byte;
            opener.spanLength = m_characters[to - 1].byte + m_characters[to - 1].length - opener.spanStart;
        }
        i = last;
    }
}

// A font may place a mark beside its letter but leave its height as drawn, which is that
// of a capital: marks left where the font put them, above a letter, or below it, are
// brought to a small gap from the letter's own top or bottom, as a font with anchors for
// them would set them.
void TextShaper::raiseMarks(ShapedRun& run, std::size_t first, std::size_t from, std::size_t count,
                            const DrawingFont& face)
{
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    hb_font_t* font = face.program().font();
    const std::int32_t gap = static_cast<std::int32_t>(face.unitsPerEm() / 16);
    hb_glyph_extents_t base{};
    if (count < 2 || !hb_font_get_glyph_extents(font, run.glyphs[first].glyph, &base) || base.height == 0)
        return;
    std::int32_t top = base.y_bearing;                  // of the letter and the marks above it so far
    std::int32_t bottom = base.y_bearing + base.height; // and below
    for (std::size_t k = 1; k < count; ++k) {
        ShapedGlyph& glyph = run.glyphs[first + k];
        const char32_t c = m_characters[from + k].c;
        hb_glyph_extents_t extents{};
        if (!mark(unicode, c) || glyph.yOffset != 0 || !hb_font_get_glyph_extents(font, glyph.glyph, &extents)
            || extents.height == 0)
            continue;
        const unsigned combining = hb_unicode_combining_class(unicode, c);
        const std::int32_t markTop = extents.y_bearing;
        const std::int32_t markBottom = extents.y_bearing + extents.height;
        if (combining == HB_UNICODE_COMBINING_CLASS_ABOVE && markBottom > top + gap) {
            glyph.yOffset = top + gap - markBottom;
            top = markTop + glyph.yOffset;
        } else if (combining == HB_UNICODE_COMBINING_CLASS_BELOW && markTop < bottom - gap) {
            glyph.yOffset = bottom - gap - markTop;
            bottom = markBottom + glyph.yOffset;
        } else if (combining == HB_UNICODE_COMBINING_CLASS_ABOVE) {
            top = std::max(top, markTop);
        } else if (combining == HB_UNICODE_COMBINING_CLASS_BELOW) {
            bottom = std::min(bottom, markBottom);
        }
    }
}

void TextShaper::shape(std::string_view line, int chain, std::vector<ShapedRun>& runs)
{
    runs.clear();
    decode(line);
    resolveLevels();
    chooseFonts(chain);

    // Runs of one level, face and script, in the line's order; the drawing's own isolates
    // end runs and draw nothing.
    struct Span {
        std::size_t first, end;
        std::uint8_t level;
    };
    std::vector<Span> spans;
    for (std::size_t i = 0; i < m_characters.size();) {
        if (m_characters[i].hidden) {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < m_characters.size() && !m_characters[j].hidden && m_characters[j].level == m_characters[i].level
               && m_characters[j].font == m_characters[i].font && m_characters[j].script == m_characters[i].script)
            ++j;
        spans.push_back(Span{i, j, m_characters[i].level});
        i = j;
    }
    // The runs from left to right: every sequence of runs at a level or above, from the
    // highest level down to the lowest odd one, is reversed.
    std::uint8_t highest = 0, lowestOdd = 255;
    for (const Span& span : spans) {
        highest = std::max(highest, span.level);
        if (span.level % 2)
            lowestOdd = std::min(lowestOdd, span.level);
    }
    for (int level = highest; level >= lowestOdd && level > 0; --level) {
        for (std::size_t i = 0; i < spans.size();) {
            if (spans[i].level < level) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < spans.size() && spans[j].level >= level)
                ++j;
            std::reverse(spans.begin() + static_cast<std::ptrdiff_t>(i),
                         spans.begin() + static_cast<std::ptrdiff_t>(j));
            i = j;
        }
    }
    runs.resize(spans.size());
    for (std::size_t k = 0; k < spans.size(); ++k) {
        runs[k].font = m_characters[spans[k].first].font;
        runs[k].glyphs.clear();
        shapeRun(spans[k].first, spans[k].end, runs[k]);
    }
}

} // namespace zintrel
