// Font files read as a PDF embeds them: metrics, the kind of outlines, files that are no
// font, and subsets that keep the glyph numbers.

#include "pdfwrite/FontProgram.h"

#include "TestFonts.h"
#include "tests/support/TestSupport.h"

#include <hb.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>

namespace zintrel {
namespace {

struct FontCase {
    const char* name;
    std::function<std::string()> path;
    bool cff;
    unsigned unitsPerEm;
    const char* postScriptName;
    unsigned minimumGlyphs;
};

void PrintTo(const FontCase& c, std::ostream* out) { *out << c.name; }

const FontCase kFonts[] = {
    {"LiberationSans", test::liberationSans, false, 2048, "LiberationSans", 2000},
    {"NimbusSansOpenType", test::nimbusSansOpenType, true, 1000, "NimbusSans-Regular", 800},
};

class FontProgramTest : public ::testing::TestWithParam<FontCase> {};

TEST_P(FontProgramTest, MetricsArePlausible)
{
    const FontCase& c = GetParam();
    const std::string path = c.path();
    ASSERT_FALSE(path.empty());
    FontProgram program(path, 0);
    EXPECT_EQ(program.path(), path);
    EXPECT_EQ(program.cff(), c.cff);
    EXPECT_EQ(program.unitsPerEm(), c.unitsPerEm);
    EXPECT_EQ(program.postScriptName(), c.postScriptName);
    EXPECT_GE(program.glyphCount(), c.minimumGlyphs);
    EXPECT_GT(program.ascent(), 0);
    EXPECT_LT(program.descent(), 0);
    // A Latin font: capitals a little lower than the ascent, well above half an em.
    EXPECT_GT(program.capHeight(), static_cast<int>(c.unitsPerEm / 2));
    EXPECT_LE(program.capHeight(), program.ascent());
    EXPECT_EQ(program.italicAngle(), 0);
    const int* box = program.boundingBox();
    EXPECT_LT(box[0], box[2]);
    EXPECT_LT(box[1], 0);
    EXPECT_GT(box[3], program.capHeight());
    // The font shapes: 'A' has a glyph with an advance of about two thirds of an em.
    hb_codepoint_t glyph = 0;
    ASSERT_TRUE(hb_font_get_nominal_glyph(program.font(), 'A', &glyph));
    const double advance = hb_font_get_glyph_h_advance(program.font(), glyph) / double(c.unitsPerEm);
    EXPECT_NEAR(advance, 0.667, 0.01);
}

// The glyph each character draws.
std::vector<std::uint32_t> glyphsOf(const FontProgram& program, const std::u32string& text)
{
    std::vector<std::uint32_t> glyphs;
    for (char32_t c : text) {
        hb_codepoint_t glyph = 0;
        EXPECT_TRUE(hb_font_get_nominal_glyph(program.font(), c, &glyph)) << static_cast<unsigned>(c);
        glyphs.push_back(glyph);
    }
    return glyphs;
}

struct Extents {
    hb_glyph_extents_t e{};
    bool empty() const { return e.width == 0 && e.height == 0; }
    bool operator==(const Extents& o) const
    {
        return e.x_bearing == o.e.x_bearing && e.y_bearing == o.e.y_bearing && e.width == o.e.width
            && e.height == o.e.height;
    }
};

Extents extentsOf(hb_font_t* font, std::uint32_t glyph)
{
    Extents extents;
    hb_font_get_glyph_extents(font, glyph, &extents.e);
    return extents;
}

TEST_P(FontProgramTest, ASubsetKeepsTheGlyphNumbers)
{
    const std::string path = GetParam().path();
    ASSERT_FALSE(path.empty());
    FontProgram program(path, 0);
    const std::u32string kept = U"Ab\u00E9";
    const std::vector<std::uint32_t> keptGlyphs = glyphsOf(program, kept);
    const std::vector<std::uint32_t> droppedGlyphs = glyphsOf(program, U"Cz\u00C9?");
    const std::string subset = program.subset(keptGlyphs, std::vector<char32_t>(kept.begin(), kept.end()));
    ASSERT_FALSE(subset.empty());
    EXPECT_LT(subset.size(), 20000u);

    hb_blob_t* blob = hb_blob_create(subset.data(), static_cast<unsigned>(subset.size()), HB_MEMORY_MODE_READONLY,
                                     nullptr, nullptr);
    hb_face_t* face = hb_face_create(blob, 0);
    hb_font_t* font = hb_font_create(face);
    // Every glyph up to the last one kept is there at its number; those after it, which
    // no code shows, may be cut off.
    const std::uint32_t last = *std::max_element(keptGlyphs.begin(), keptGlyphs.end());
    const unsigned count = hb_face_get_glyph_count(face);
    EXPECT_GT(count, last);
    EXPECT_LE(count, program.glyphCount());
    for (std::size_t i = 0; i < keptGlyphs.size(); ++i) {
        const Extents extents = extentsOf(font, keptGlyphs[i]);
        EXPECT_FALSE(extents.empty()) << "glyph " << keptGlyphs[i];
        EXPECT_TRUE(extents == extentsOf(program.font(), keptGlyphs[i])) << "glyph " << keptGlyphs[i];
        // The characters given map to their glyphs.
        hb_codepoint_t glyph = 0;
        EXPECT_TRUE(hb_font_get_nominal_glyph(font, kept[i], &glyph));
        EXPECT_EQ(glyph, keptGlyphs[i]);
    }
    for (std::uint32_t glyph : droppedGlyphs) {
        EXPECT_LT(glyph, last) << "a glyph dropped between kept ones, not after them";
        EXPECT_FALSE(extentsOf(program.font(), glyph).empty()) << "glyph " << glyph;
        EXPECT_TRUE(extentsOf(font, glyph).empty()) << "glyph " << glyph;
    }
    // The missing glyph is always there, as the font draws it.
    EXPECT_TRUE(extentsOf(font, 0) == extentsOf(program.font(), 0));
    hb_font_destroy(font);
    hb_face_destroy(face);
    hb_blob_destroy(blob);

    // The subset is a font file the program reads again, of the same kind.
    char name[] = "/tmp/zintrel-subset-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    test::writeFile(name, subset);
    {
        FontProgram again(name, 0);
        EXPECT_EQ(again.glyphCount(), count);
        EXPECT_EQ(again.cff(), program.cff());
        EXPECT_EQ(again.unitsPerEm(), program.unitsPerEm());
    }
    ::unlink(name);
}

INSTANTIATE_TEST_SUITE_P(Fonts, FontProgramTest, ::testing::ValuesIn(kFonts));

// Files that are no font a PDF can embed are refused with a message naming them.
TEST(FontProgram, WhatIsNoFontIsRefusedNamingTheFile)
{
    char folder[] = "/tmp/zintrel-nofont-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string base = folder;
    test::writeFile(base + "/notes.ttf", "These are notes, not a font.\n");
    test::writeFile(base + "/empty.otf", "");
    struct Case {
        const char* what;
        std::string path;
        int index;
    } cases[] = {
        {"text", base + "/notes.ttf", 0},
        {"empty file", base + "/empty.otf", 0},
        {"missing file", base + "/missing.ttf", 0},
        {"a face beyond those of a collection", "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", 99},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_TRUE(test::throwsError<std::runtime_error>([&] { FontProgram program(c.path, c.index); }, &text))
            << c.what;
        EXPECT_NE(text.find(c.path), std::string::npos) << c.what << ": " << text;
    }
    ::unlink((base + "/notes.ttf").c_str());
    ::unlink((base + "/empty.otf").c_str());
    ::rmdir(folder);
}

} // namespace
} // namespace zintrel
