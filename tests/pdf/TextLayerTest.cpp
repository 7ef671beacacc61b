// What readers make of a PDF's text: every name exactly as written, in the order written,
// whichever reader extracts it; marks over their letters; emoji and characters no font has
// in the text layer; the same document however many threads draw it.

#include "pdf/RenderListingPdf.h"

#include "pdf/DrawingFont.h"
#include "pdf/FontCatalog.h"

#include "PdfReadBack.h"
#include "TestFiles.h"
#include "listing/ListingOptions.h"
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <hb.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

using namespace zintrel;

namespace {

// A reader's output of the whole document; fails the test when the reader cannot run.
std::string runReader(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(30000)) {
        ADD_FAILURE() << program.toStdString() << " cannot be started (scripts/install-deps.sh installs it)";
        return {};
    }
    process.waitForFinished(120000);
    EXPECT_EQ(process.exitCode(), 0) << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput().toStdString();
}

std::string mupdfText(const std::string& pdf)
{
    return runReader("mutool", {"draw", "-F", "txt", "-o", "-", QString::fromStdString(pdf)});
}

std::string ghostscriptText(const std::string& pdf)
{
    return runReader(
        "gs",
        {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=txtwrite", "-sOutputFile=-", QString::fromStdString(pdf)});
}

// The text of a line of our own read-back that holds needle.
const DrawnLine* lineWith(const PdfContent& pdf, const std::string& needle)
{
    for (const DrawnLine& line : pdf.lines) {
        if (toUtf8(line.text).find(needle) != std::string::npos)
            return &line;
    }
    return nullptr;
}

const std::string kNfdCafe = "cafe\xCC\x81.txt";             // e, then U+0301
const std::string kNfdViet = "Vie\xCC\xA3\xCC\x82t Nam.txt"; // e, U+0323, U+0302
const std::string kZwnj = "mi\xE2\x80\x8Cshavam.txt";        // U+200C between two letters
const std::string kZwsp = "zero\xE2\x80\x8Bwidth.txt";       // U+200B
const std::string kZwj = "join\xE2\x80\x8D"
                         "ed.txt";                                              // U+200D
const std::string kEmoji = "party \xF0\x9F\x8E\x89.txt";                        // U+1F389
const std::string kBold = "bold \xF0\x9D\x90\x80 letter";                       // U+1D400
const std::string kNoFont = "private \xF4\x8F\xBF\xBD use";                     // U+10FFFD, in no font
const std::string kHungarian = "F\xC5\x91tan\xC3\xBAs\xC3\xADtv\xC3\xA1ny.pem"; // outside Latin-1
const std::string kHebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
const std::string kCjk = "\xE6\x96\x87\xE4\xBB\xB6.txt";

std::vector<std::string> trickyLines()
{
    std::vector<std::string> lines = {"Processed: /srv/names"};
    for (const std::string& name : {kNfdCafe, kNfdViet, kZwnj, kZwsp, kZwj, kEmoji, kBold, kNoFont, kHungarian,
                                    kHebrew + ".txt", kCjk, std::string("file.txt")})
        lines.push_back(" " + name + "  1 Kb  A  /srv/names/" + name + "  1  ");
    return lines;
}

class TextLayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ListingOptions options;
        options.listingFont.face = "Liberation Sans";
        options.listingFont.pointSize = 10;
        pdf = folder.path("names.pdf");
        renderFile(folder.writeListing("listing.txt", trickyLines()), pdf, options);
        content = readPdf(pdf);
    }

    TestFolder folder;
    std::string pdf;
    PdfContent content;
};

// Every name reads back as written in our own reading of the ToUnicode maps, in pdftotext
// and in MuPDF: marks in their order after their letter, zero-width characters, emoji and
// characters no installed font has. (MuPDF takes a space where a stack of two marks
// reaches back over its letter; the characters are all there, in order.)
TEST_F(TextLayerTest, EveryNameReadsBackAsWritten)
{
    const std::string poppler = pdfToText(pdf);
    const std::string mupdf = mupdfText(pdf);
    for (const std::string& name :
         {kNfdCafe, kNfdViet, kZwnj, kZwsp, kZwj, kEmoji, kBold, kNoFont, kHungarian, kCjk, std::string("file.txt")}) {
        EXPECT_NE(lineWith(content, name), nullptr) << name;
        EXPECT_NE(poppler.find(name), std::string::npos) << "pdftotext: " << name;
        if (name != kNfdViet)
            EXPECT_NE(mupdf.find(name), std::string::npos) << "mutool: " << name;
    }
    // No glyph stands for the null character, in any reader.
    for (const DrawnLine& line : content.lines)
        EXPECT_EQ(line.text.find(U'\0'), std::u32string::npos) << toUtf8(line.text);
    EXPECT_EQ(poppler.find('\0'), std::string::npos);
    EXPECT_EQ(mupdf.find('\0'), std::string::npos);
    // "file" is four glyphs, not a ligature.
    const DrawnLine* file = lineWith(content, " file.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->glyphs.at(1).text, U"f");
    EXPECT_EQ(file->glyphs.at(2).text, U"i");
}

// Ghostscript reads characters outside Latin-1 right where each code stands for one
// character of the Basic Multilingual Plane, and zero-width characters as themselves.
TEST_F(TextLayerTest, GhostscriptReadsNamesBeyondLatin1)
{
    const std::string text = ghostscriptText(pdf);
    for (const std::string& name : {kHungarian, kCjk, kZwnj, kZwsp, kZwj})
        EXPECT_NE(text.find(name), std::string::npos) << name;
}

// Where a glyph's ink stands on the page, in points: left, right, bottom and top.
struct Ink {
    double left, right, bottom, top;
};

Ink inkOf(const DrawnGlyph& glyph, const DrawingFont& font)
{
    hb_glyph_extents_t extents{};
    EXPECT_TRUE(hb_font_get_glyph_extents(font.program().font(), glyph.glyph, &extents)) << glyph.glyph;
    const double scale = glyph.size / font.unitsPerEm();
    const double left = glyph.x + extents.x_bearing * scale;
    const double top = glyph.rise + extents.y_bearing * scale;
    return {left, left + extents.width * scale, top + extents.height * scale, top};
}

bool isMark(const DrawnGlyph& glyph)
{
    return !glyph.text.empty() && glyph.text.front() >= 0x300 && glyph.text.front() <= 0x36F;
}

// A mark stands over (or under) its letter: its ink centred within the letter's, just
// above (or below) it rather than at the height of a capital, and the line goes on right
// after the letter, as if the mark took no room.
TEST_F(TextLayerTest, MarksStandOverTheirLetters)
{
    const std::optional<FontFace> face = FontCatalog::find("Liberation Sans");
    ASSERT_TRUE(face.has_value());
    const DrawingFont font(face->path, face->index);
    for (const std::string& name : {kNfdCafe, kNfdViet}) {
        const DrawnLine* line = lineWith(content, name);
        ASSERT_NE(line, nullptr) << name;
        const std::vector<DrawnGlyph>& glyphs = line->glyphs;
        int marks = 0;
        for (std::size_t i = 1; i < glyphs.size(); ++i) {
            if (!isMark(glyphs[i]))
                continue;
            ++marks;
            std::size_t base = i - 1;
            while (base > 0 && isMark(glyphs[base]))
                --base;
            ASSERT_EQ(glyphs[base].text, U"e") << name;
            ASSERT_NE(glyphs[i].font.find("LiberationSans"), std::string::npos) << glyphs[i].font;
            const Ink letter = inkOf(glyphs[base], font);
            const Ink mark = inkOf(glyphs[i], font);
            const double centre = (mark.left + mark.right) / 2;
            EXPECT_GT(centre, letter.left) << name << " mark " << i;
            EXPECT_LT(centre, letter.right) << name << " mark " << i;
            const double near = 0.15 * glyphs[i].size;
            if (glyphs[i].text == U"\u0323") { // below
                EXPECT_LE(mark.top, letter.bottom + 0.01) << name;
                EXPECT_GE(mark.top, letter.bottom - near) << name;
            } else { // above
                EXPECT_GE(mark.bottom, letter.top - 0.01) << name;
                EXPECT_LE(mark.bottom, letter.top + near) << name;
            }
            std::size_t next = i + 1;
            while (next < glyphs.size() && isMark(glyphs[next]))
                ++next;
            ASSERT_LT(next, glyphs.size());
            EXPECT_NEAR(glyphs[next].x, glyphs[base].x + glyphs[base].width, 0.01) << name;
        }
        EXPECT_GE(marks, 1) << name;
        // The letter after the marks follows the letter, not the marks.
        const std::u32string expectedText = toU32(name);
        EXPECT_NE(line->text.find(expectedText), std::u32string::npos) << name;
    }
}

// Emoji come from a font with outlines; a colour font of bitmaps alone, installed or not, is
// never embedded, so nothing is drawn empty. Every font is embedded as a subset, named as one.
TEST_F(TextLayerTest, FontsAreOutlineSubsetsEachOnce)
{
    const DrawnLine* line = lineWith(content, kEmoji);
    ASSERT_NE(line, nullptr);
    std::set<std::string> fonts;
    for (const DrawnLine& drawn : content.lines)
        fonts.insert(drawn.fonts.begin(), drawn.fonts.end());
    for (const std::string& font : fonts) {
        EXPECT_TRUE(std::regex_match(font, std::regex("/[A-Z]{6}\\+.+"))) << font;
        EXPECT_EQ(font.find("ColorEmoji"), std::string::npos) << font;
    }
    const std::string listed = runReader("pdffonts", {QString::fromStdString(pdf)});
    std::vector<std::string> names;
    int rows = 0;
    std::istringstream in(listed);
    std::string row;
    while (std::getline(in, row)) {
        if (row.empty() || row.starts_with("name") || row.starts_with("---"))
            continue;
        ++rows;
        std::istringstream fields(row);
        std::string name;
        fields >> name;
        names.push_back(name);
        // emb, sub and uni: yes for every font.
        EXPECT_NE(row.find("yes yes yes"), std::string::npos) << row;
    }
    EXPECT_EQ(rows, static_cast<int>(fonts.size()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "a font embedded twice";
}

// A listing drawn on 1, 2, 4 or 8 threads is the same document: the same objects with the
// same contents and numbers, once decrypted, but for its identifier and date. The lines
// that need more than ASCII come late, so that the threads drawing the last pages meet
// them first.
TEST(TextLayer, TheDocumentIsTheSameOnAnyNumberOfThreads)
{
    TestFolder folder;
    std::vector<std::string> lines = {"Processed: /srv"};
    for (int i = 0; i < 4000; ++i)
        lines.push_back(" entry" + std::to_string(i) + ".dat  1 Kb  A  /srv/entry" + std::to_string(i) + ".dat  1  ");
    for (const std::string& name : {kZwnj, kEmoji, kNoFont, kNfdViet, kHebrew, kCjk})
        lines.push_back(" " + name + "  1 Kb  A  /srv/" + name + "  1  ");
    lines.push_back(" " + kZwsp + "  1 Kb  A");
    const std::string listing = folder.writeListing("listing.txt", lines);
    ListingOptions options;
    std::vector<std::string> documents;
    for (int threads : {1, 2, 4, 8}) {
        PdfRendering how;
        how.threads = threads;
        how.lineCount = static_cast<std::int64_t>(lines.size());
        const std::string pdf = folder.path("drawn" + std::to_string(threads) + ".pdf");
        renderFile(listing, pdf, options, how);
        const std::string plain = folder.path("plain" + std::to_string(threads) + ".pdf");
        runReader("qpdf",
                  {"--decrypt", "--static-id", "--qdf", QString::fromStdString(pdf), QString::fromStdString(plain)});
        std::string text = test::readFile(plain);
        text = std::regex_replace(text, std::regex("/CreationDate \\([^)]*\\)"), "");
        text = std::regex_replace(text, std::regex("/ID \\[<[0-9a-f]+>"), "/ID [");
        documents.push_back(text);
        EXPECT_GT(readPdf(pdf).pages.size(), 8u);
    }
    for (std::size_t i = 1; i < documents.size(); ++i)
        EXPECT_TRUE(documents[i] == documents[0]) << "the document drawn on " << (1 << i) << " threads differs";
}

} // namespace
