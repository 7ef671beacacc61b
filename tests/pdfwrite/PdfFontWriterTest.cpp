// Fonts written into a small document through PdfFileWriter, read back with libqpdf
// (and with pdffonts and pdftotext where poppler-utils is there).

#include "pdfwrite/PdfFontWriter.h"

#include "TestFonts.h"
#include "WrittenPdf.h"
#include "pdfwrite/FontProgram.h"
#include "pdfwrite/PdfSyntax.h"
#include "tests/support/TestSupport.h"

#include <hb.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <ostream>
#include <regex>

namespace zintrel {
namespace {

// One glyph of the test and the text it stands for: a character of the font, the
// missing glyph standing for a character the font lacks, or no text at all.
struct Shown {
    std::uint32_t glyph;
    std::u16string text;
};

struct FontCase {
    const char* name;
    std::function<std::string()> path;
    // CIDs past the font's glyphs that draw one of its glyphs for another text, which
    // only a TrueType font can map.
    bool alternates;
};

void PrintTo(const FontCase& c, std::ostream* out) { *out << c.name; }

std::uint32_t glyphOf(const FontProgram& program, char32_t c)
{
    hb_codepoint_t glyph = 0;
    EXPECT_TRUE(hb_font_get_nominal_glyph(program.font(), c, &glyph)) << static_cast<unsigned>(c);
    return glyph;
}

// "Ab€" and an e with its accent, the missing glyph for an emoji, and the glyph of 'd'
// standing for no text (a piece of a character another glyph stands for).
std::vector<Shown> shownGlyphs(const FontProgram& program)
{
    return {
        {glyphOf(program, 'A'), u"A"},
        {glyphOf(program, 'b'), u"b"},
        {glyphOf(program, U'\u20AC'), u"\u20AC"},
        {glyphOf(program, U'\u00E9'), u"\u00E9"},
        {0, u"\U0001F600"},
        {glyphOf(program, 'd'), u""},
    };
}

std::string codeOf(std::uint32_t cid) { return {static_cast<char>(cid >> 8), static_cast<char>(cid & 0xFF)}; }

struct FontInput {
    std::vector<FontGlyph> glyphs;
    std::vector<FontCode> codes;
    std::string shownCodes; // the codes in the order shown
    std::string shownText;  // what a reader's text layer makes of them (UTF-8)
};

// The shown glyphs as their own CIDs; with alternates, then the glyph of 'A' for a Greek
// Alpha and the glyph of 'b' for a mathematical b (a surrogate pair in UTF-16).
FontInput fontInput(const FontProgram& program, bool alternates)
{
    FontInput input;
    auto add = [&](std::uint32_t cid, std::uint32_t glyph, const std::u16string& text) {
        const double width = hb_font_get_glyph_h_advance(program.font(), glyph) * 1000.0 / program.unitsPerEm();
        input.glyphs.push_back(FontGlyph{cid, glyph, width});
        input.codes.push_back(FontCode{codeOf(cid), cid, text});
        input.shownCodes += codeOf(cid);
    };
    for (const Shown& shown : shownGlyphs(program))
        add(shown.glyph, shown.glyph, shown.text);
    input.shownText = "Ab\xE2\x82\xAC\xC3\xA9\xF0\x9F\x98\x80";
    if (alternates) {
        add(program.glyphCount(), glyphOf(program, 'A'), u"\u0391");
        add(program.glyphCount() + 1, glyphOf(program, 'b'), u"\U0001D41B");
        input.shownText += "\xCE\x91\xF0\x9D\x90\x9B";
    }
    auto byCid = [](const FontGlyph& a, const FontGlyph& b) { return a.cid < b.cid; };
    std::sort(input.glyphs.begin(), input.glyphs.end(), byCid);
    std::sort(input.codes.begin(), input.codes.end(),
              [](const FontCode& a, const FontCode& b) { return a.code < b.code; });
    return input;
}

struct FontDocument {
    std::string bytes;
    int type0 = 0;
};

FontDocument writeFontDocument(const FontProgram& program, const FontInput& input)
{
    test::SmallDocument document;
    FontDocument written;
    written.type0 = document.writer().newNumber();
    writeFont(document.writer(), written.type0, program, input.glyphs, input.codes);
    written.bytes = document.finish("BT /F1 24 Tf 10 40 Td " + hexString(input.shownCodes) + " Tj ET\n",
                                    "/Font << /F1 " + std::to_string(written.type0) + " 0 R >>");
    return written;
}

// The W array as CID to width, in either of its forms.
std::map<std::uint32_t, double> widthsOf(QPDFObjectHandle w)
{
    std::map<std::uint32_t, double> widths;
    std::vector<QPDFObjectHandle> items = w.getArrayAsVector();
    for (std::size_t i = 0; i < items.size();) {
        const auto first = static_cast<std::uint32_t>(items[i].getIntValue());
        if (i + 1 < items.size() && items[i + 1].isArray()) {
            std::uint32_t cid = first;
            for (QPDFObjectHandle width : items[i + 1].getArrayAsVector())
                widths[cid++] = width.getNumericValue();
            i += 2;
        } else {
            EXPECT_LT(i + 2, items.size());
            if (i + 2 >= items.size())
                break;
            for (auto cid = first; cid <= static_cast<std::uint32_t>(items[i + 1].getIntValue()); ++cid)
                widths[cid] = items[i + 2].getNumericValue();
            i += 3;
        }
    }
    return widths;
}

// The bfchar entries of a ToUnicode map, as hex code to hex text.
std::map<std::string, std::string> bfcharsOf(const std::string& cmap)
{
    std::map<std::string, std::string> entries;
    static const std::regex block("beginbfchar([^]*?)endbfchar");
    static const std::regex entry("<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]*)>");
    for (std::sregex_iterator b(cmap.begin(), cmap.end(), block), end; b != end; ++b) {
        const std::string body = (*b)[1];
        for (std::sregex_iterator e(body.begin(), body.end(), entry); e != end; ++e) {
            EXPECT_EQ(entries.count((*e)[1]), 0u) << "twice: " << (*e)[1];
            entries[(*e)[1]] = (*e)[2];
        }
    }
    return entries;
}

std::string hexDigits(std::string_view bytes)
{
    const std::string text = hexString(bytes);
    return text.substr(1, text.size() - 2);
}

class PdfFontWriterTest : public ::testing::TestWithParam<FontCase> {};

TEST_P(PdfFontWriterTest, WritesACompositeFontThatReadsBack)
{
    const FontCase& c = GetParam();
    const std::string path = c.path();
    ASSERT_FALSE(path.empty());
    FontProgram program(path, 0);
    const FontInput input = fontInput(program, c.alternates);
    const FontDocument written = writeFontDocument(program, input);
    test::ReadBack back(written.bytes);
    EXPECT_EQ(back.problems(), std::vector<std::string>{});

    QPDFObjectHandle type0 = back.object(written.type0);
    EXPECT_EQ(type0.getKey("/Type").getName(), "/Font");
    EXPECT_EQ(type0.getKey("/Subtype").getName(), "/Type0");
    EXPECT_EQ(type0.getKey("/Encoding").getName(), "/Identity-H");
    const std::string baseFont = type0.getKey("/BaseFont").getName();
    EXPECT_TRUE(std::regex_match(baseFont, std::regex("/[A-Z]{6}\\+" + program.postScriptName()))) << baseFont;
    EXPECT_EQ(baseFont, "/" + subsetTag(program, input.glyphs) + "+" + program.postScriptName());

    ASSERT_EQ(type0.getKey("/DescendantFonts").getArrayNItems(), 1);
    QPDFObjectHandle cidFont = type0.getKey("/DescendantFonts").getArrayItem(0);
    EXPECT_EQ(cidFont.getKey("/Subtype").getName(), program.cff() ? "/CIDFontType0" : "/CIDFontType2");
    EXPECT_EQ(cidFont.getKey("/BaseFont").getName(), baseFont);
    QPDFObjectHandle info = cidFont.getKey("/CIDSystemInfo");
    EXPECT_EQ(info.getKey("/Registry").getStringValue(), "Adobe");
    EXPECT_EQ(info.getKey("/Ordering").getStringValue(), "Identity");

    QPDFObjectHandle descriptor = cidFont.getKey("/FontDescriptor");
    EXPECT_EQ(descriptor.getKey("/Type").getName(), "/FontDescriptor");
    EXPECT_EQ(descriptor.getKey("/FontName").getName(), baseFont);
    EXPECT_GT(descriptor.getKey("/Ascent").getNumericValue(), 0);
    EXPECT_LT(descriptor.getKey("/Descent").getNumericValue(), 0);
    EXPECT_EQ(descriptor.getKey("/FontBBox").getArrayNItems(), 4);

    // The embedded program: a subset that kept the glyph numbers.
    QPDFObjectHandle fontFile = descriptor.getKey(program.cff() ? "/FontFile3" : "/FontFile2");
    ASSERT_TRUE(fontFile.isStream());
    EXPECT_FALSE(descriptor.hasKey(program.cff() ? "/FontFile2" : "/FontFile3"));
    if (program.cff()) {
        EXPECT_EQ(fontFile.getDict().getKey("/Subtype").getName(), "/OpenType");
    }
    const std::string embedded = test::decodedData(fontFile);
    hb_blob_t* blob = hb_blob_create(embedded.data(), static_cast<unsigned>(embedded.size()), HB_MEMORY_MODE_READONLY,
                                     nullptr, nullptr);
    hb_face_t* face = hb_face_create(blob, 0);
    std::uint32_t lastGlyph = 0;
    for (const FontGlyph& glyph : input.glyphs)
        lastGlyph = std::max(lastGlyph, glyph.glyph);
    EXPECT_GT(hb_face_get_glyph_count(face), lastGlyph);
    EXPECT_LE(hb_face_get_glyph_count(face), program.glyphCount());
    hb_face_destroy(face);
    hb_blob_destroy(blob);
    EXPECT_LT(embedded.size(), 30000u);

    // Widths per CID, as given.
    const std::map<std::uint32_t, double> widths = widthsOf(cidFont.getKey("/W"));
    EXPECT_EQ(widths.size(), input.glyphs.size());
    for (const FontGlyph& glyph : input.glyphs) {
        auto found = widths.find(glyph.cid);
        ASSERT_NE(found, widths.end()) << "CID " << glyph.cid;
        EXPECT_NEAR(found->second, glyph.width, 0.0005) << "CID " << glyph.cid;
    }

    // CIDs to glyphs: the identity, a map, or (CFF) none, the CIDs being the glyphs.
    QPDFObjectHandle cidToGid = cidFont.getKey("/CIDToGIDMap");
    if (program.cff()) {
        EXPECT_TRUE(cidToGid.isNull());
    } else if (!c.alternates) {
        ASSERT_TRUE(cidToGid.isName());
        EXPECT_EQ(cidToGid.getName(), "/Identity");
    } else {
        ASSERT_TRUE(cidToGid.isStream());
        const std::string map = test::decodedData(cidToGid);
        const std::uint32_t last = input.glyphs.back().cid;
        EXPECT_EQ(map.size(), 2 * (last + 1));
        std::map<std::uint32_t, std::uint32_t> glyphOfCid;
        for (const FontGlyph& glyph : input.glyphs)
            glyphOfCid[glyph.cid] = glyph.glyph;
        for (std::uint32_t cid = 0; 2 * cid + 1 < map.size(); ++cid) {
            const std::uint32_t glyph = static_cast<unsigned char>(map[2 * cid]) << 8
                | static_cast<unsigned char>(map[2 * cid + 1]);
            EXPECT_EQ(glyph, glyphOfCid.count(cid) ? glyphOfCid[cid] : 0u) << "CID " << cid;
        }
    }

    // ToUnicode: single entries for each code that stands for a text, none for the others.
    const std::string cmap = test::decodedData(type0.getKey("/ToUnicode"));
    EXPECT_EQ(cmap.find("bfrange"), std::string::npos);
    std::map<std::string, std::string> expected;
    for (const FontCode& code : input.codes) {
        if (!code.text.empty())
            expected[hexDigits(code.code)] = hexDigits(utf16BytesBE(code.text));
    }
    EXPECT_EQ(bfcharsOf(cmap), expected);
    // The emoji is a surrogate pair.
    EXPECT_NE(cmap.find("<D83DDE00>"), std::string::npos);
}

TEST(PdfFontWriter, TheSameInputWritesTheSameDocument)
{
    FontProgram first(test::liberationSans(), 0);
    FontProgram second(test::liberationSans(), 0);
    const FontInput input = fontInput(first, true);
    EXPECT_EQ(writeFontDocument(first, input).bytes, writeFontDocument(second, input).bytes);
}

TEST(PdfFontWriter, TheSubsetTagNamesTheGlyphs)
{
    FontProgram liberation(test::liberationSans(), 0);
    FontProgram again(test::liberationSans(), 0);
    FontProgram nimbus(test::nimbusSansOpenType(), 0);
    const std::vector<FontGlyph> glyphs = fontInput(liberation, false).glyphs;
    const std::string tag = subsetTag(liberation, glyphs);
    EXPECT_TRUE(std::regex_match(tag, std::regex("[A-Z]{6}"))) << tag;
    EXPECT_EQ(subsetTag(again, glyphs), tag);

    std::vector<FontGlyph> oneMore = glyphs;
    oneMore.push_back(FontGlyph{glyphOf(liberation, 'z'), glyphOf(liberation, 'z'), 500});
    std::vector<FontGlyph> oneLess(glyphs.begin() + 1, glyphs.end());
    std::vector<FontGlyph> otherCids = glyphs;
    for (FontGlyph& glyph : otherCids)
        glyph.cid += 1000;
    for (const auto& [what, other] : {std::pair{"one glyph more", subsetTag(liberation, oneMore)},
                                      std::pair{"one glyph less", subsetTag(liberation, oneLess)},
                                      std::pair{"other CIDs", subsetTag(liberation, otherCids)},
                                      std::pair{"another font", subsetTag(nimbus, glyphs)}}) {
        EXPECT_TRUE(std::regex_match(other, std::regex("[A-Z]{6}"))) << what << ": " << other;
        EXPECT_NE(other, tag) << what;
    }
}

// A program's standard output, or nullopt when it cannot be run.
std::optional<std::string> run(const std::string& command)
{
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ADD_FAILURE() << command << " failed:\n" << out;
        return std::nullopt;
    }
    return out;
}

bool popplerInstalled()
{
    return ::access("/usr/bin/pdffonts", X_OK) == 0 && ::access("/usr/bin/pdftotext", X_OK) == 0;
}

// What poppler makes of the fonts: embedded, subset, with a Unicode map; and the text its
// text layer finds.
TEST_P(PdfFontWriterTest, PopplerSeesAnEmbeddedSubsetWithUnicode)
{
    if (!popplerInstalled())
        GTEST_SKIP() << "poppler-utils is not installed";
    const FontCase& c = GetParam();
    FontProgram program(c.path(), 0);
    const FontInput input = fontInput(program, c.alternates);
    const FontDocument written = writeFontDocument(program, input);
    char name[] = "/tmp/zintrel-font-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    test::writeFile(name, written.bytes);

    const std::optional<std::string> fonts = run(std::string("pdffonts ") + name);
    const std::optional<std::string> text = run(std::string("pdftotext -enc UTF-8 ") + name + " -");
    ::unlink(name);
    ASSERT_TRUE(fonts && text);
    const std::string type = program.cff() ? "CID Type 0C \\(OT\\)" : "CID TrueType";
    const std::regex line(subsetTag(program, input.glyphs) + "\\+" + program.postScriptName() + "\\s+" + type
                          + "\\s+Identity-H\\s+yes\\s+yes\\s+yes\\s+" + std::to_string(written.type0) + "\\s+0");
    EXPECT_TRUE(std::regex_search(*fonts, line)) << *fonts;

    std::string found;
    for (char ch : *text) {
        if (ch != '\n' && ch != '\f' && ch != ' ')
            found += ch;
    }
    EXPECT_EQ(found, input.shownText);
}

INSTANTIATE_TEST_SUITE_P(Fonts, PdfFontWriterTest,
                         ::testing::Values(FontCase{"TrueType", test::liberationSans, false},
                                           FontCase{"TrueTypeWithAlternates", test::liberationSans, true},
                                           FontCase{"CffOpenType", test::nimbusSansOpenType, false}));

} // namespace
} // namespace zintrel
