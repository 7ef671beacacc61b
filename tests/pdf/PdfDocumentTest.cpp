#include "pdf/PdfDocument.h"

#include "PdfReadBack.h"
#include "TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace zintrel;

namespace {

TEST(PdfDocument, StartsOnAnA4PortraitPage)
{
    PdfDocument document;
    EXPECT_DOUBLE_EQ(document.pagewidth(), 595);
    EXPECT_DOUBLE_EQ(document.pageheight(), 842);
}

TEST(PdfDocument, ResizesTheCurrentPageUntilItIsDrawnOnThenTheNextOnes)
{
    TestFolder folder;
    PdfDocument document;
    document.setpagedimensions(842, 595);
    EXPECT_DOUBLE_EQ(document.pagewidth(), 842);
    EXPECT_DOUBLE_EQ(document.pageheight(), 595);
    document.DrawText(40, 500, "first");
    document.setpagedimensions(300, 400);
    EXPECT_DOUBLE_EQ(document.pageheight(), 595); // the drawn page keeps its size
    document.newpage();
    EXPECT_DOUBLE_EQ(document.pagewidth(), 300);
    EXPECT_DOUBLE_EQ(document.pageheight(), 400);
    document.DrawText(10, 20, "second");
    document.SaveToFile(folder.path("sizes.pdf"));

    PdfContent pdf = readPdf(folder.path("sizes.pdf"));
    ASSERT_EQ(pdf.pages.size(), 2u);
    EXPECT_DOUBLE_EQ(pdf.pages[0].width, 842);
    EXPECT_DOUBLE_EQ(pdf.pages[0].height, 595);
    EXPECT_DOUBLE_EQ(pdf.pages[1].width, 300);
    EXPECT_DOUBLE_EQ(pdf.pages[1].height, 400);
    ASSERT_EQ(pdf.lines.size(), 2u);
    EXPECT_EQ(pdf.lines[1].page, 2);
    EXPECT_NEAR(pdf.lines[1].x, 10, 1e-6);
    EXPECT_NEAR(pdf.lines[1].y, 20, 1e-6);
    EXPECT_FALSE(pdf.encryption.encrypted); // nobody asked for it
}

TEST(PdfDocument, NewPageBeforeAnyTextKeepsTheFirstPageAndTheFont)
{
    TestFolder folder;
    PdfDocument document;
    ASSERT_NE(document.AddTrueTypeFont("Liberation Serif", 1), 0);
    document.settextsize(12);
    document.newpage();
    document.settextsize(12);
    document.DrawText(40, 100, "on two");
    document.SaveToFile(folder.path("two.pdf"));

    PdfContent pdf = readPdf(folder.path("two.pdf"));
    ASSERT_EQ(pdf.pages.size(), 2u);
    ASSERT_EQ(pdf.lines.size(), 1u);
    EXPECT_EQ(pdf.lines[0].page, 2);
    ASSERT_FALSE(pdf.lines[0].fonts.empty());
    EXPECT_NE(pdf.lines[0].fonts[0].find("LiberationSerif"), std::string::npos) << pdf.lines[0].fonts[0];
}

struct PermissionCase {
    const char* name;
    int flags[8]; // print, copy, change, annotate, fill forms, assemble, accessibility, print high quality
    bool printLow, printHigh, extract, modifyOther, annotate, forms, assemble;
};

void PrintTo(const PermissionCase& c, std::ostream* out) { *out << c.name; }

class PermissionTest : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(PermissionTest, ReachesTheReader)
{
    const PermissionCase& c = GetParam();
    TestFolder folder;
    PdfDocument document;
    const int* f = c.flags;
    int value = document.Permissions(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]);
    document.Encrypt("", "", 1, value);
    document.SaveToFile(folder.path("p.pdf"));

    Encryption e = readPdf(folder.path("p.pdf")).encryption;
    EXPECT_EQ(e.revision, 6);
    EXPECT_EQ(e.printLowRes, c.printLow);
    EXPECT_EQ(e.printHighRes, c.printHigh);
    EXPECT_EQ(e.extractAll, c.extract);
    EXPECT_EQ(e.modifyOther, c.modifyOther);
    EXPECT_EQ(e.modifyAnnotation, c.annotate);
    EXPECT_EQ(e.modifyForm, c.forms);
    EXPECT_EQ(e.modifyAssembly, c.assemble);
    EXPECT_TRUE(e.accessibility);
    EXPECT_FALSE(e.ownerPasswordMatched);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, PermissionTest,
    ::testing::Values(
        PermissionCase{"None", {0, 0, 0, 0, 0, 0, 0, 0}, false, false, false, false, false, false, false},
        PermissionCase{"All", {1, 1, 1, 1, 1, 1, 1, 1}, true, true, true, true, true, true, true},
        PermissionCase{"PrintLowQuality", {1, 0, 0, 0, 0, 0, 0, 0}, true, false, false, false, false, false, false},
        PermissionCase{
            "HighQualityNeedsPrint", {0, 0, 0, 0, 0, 0, 0, 1}, false, false, false, false, false, false, false},
        PermissionCase{"AnnotateOnly", {0, 0, 0, 1, 0, 0, 0, 0}, false, false, false, false, true, false, false},
        PermissionCase{"FormsOnly", {0, 0, 0, 0, 1, 0, 0, 0}, false, false, false, false, false, true, false},
        PermissionCase{"AssembleOnly", {0, 0, 0, 0, 0, 1, 0, 0}, false, false, false, false, false, false, true}),
    [](const ::testing::TestParamInfo<PermissionCase>& info) { return std::string(info.param.name); });

TEST(PdfDocument, OwnerPasswordOpensWithFullRights)
{
    TestFolder folder;
    PdfDocument document;
    document.DrawText(40, 800, "x");
    document.Encrypt("owner", "user", 1, document.Permissions(0, 0, 0, 0, 0, 0, 0, 0));
    document.SaveToFile(folder.path("o.pdf"));

    EXPECT_TRUE(passwordRefused(folder.path("o.pdf"), ""));
    EXPECT_TRUE(readPdf(folder.path("o.pdf"), "user").encryption.userPasswordMatched);
    EXPECT_TRUE(readPdf(folder.path("o.pdf"), "owner").encryption.ownerPasswordMatched);
}

struct MisuseCase {
    const char* name;
    std::function<void(PdfDocument&)> call;
};

void PrintTo(const MisuseCase& c, std::ostream* out) { *out << c.name; }

class MisuseTest : public ::testing::TestWithParam<MisuseCase> {};

TEST_P(MisuseTest, ThrowsWithAReadableText)
{
    PdfDocument document;
    std::string text;
    EXPECT_TRUE(test::throwsError<std::runtime_error>([&] { GetParam().call(document); }, &text));
    EXPECT_GT(text.size(), 10u);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, MisuseTest,
    ::testing::Values(MisuseCase{"ZeroPageWidth", [](PdfDocument& d) { d.setpagedimensions(0, 842); }},
                      MisuseCase{"HugePage", [](PdfDocument& d) { d.setpagedimensions(595, 1e6); }},
                      MisuseCase{"FontFlag", [](PdfDocument& d) { d.AddTrueTypeFont("Liberation Sans", 2); }},
                      MisuseCase{"TextSizeZero", [](PdfDocument& d) { d.settextsize(0); }},
                      MisuseCase{"ColourAboveOne", [](PdfDocument& d) { d.settextcolor(0, 1.5, 0); }},
                      MisuseCase{"ColourNegative", [](PdfDocument& d) { d.settextcolor(-0.1, 0, 0); }},
                      MisuseCase{"InformationKey", [](PdfDocument& d) { d.SetInformation(7, "x"); }},
                      MisuseCase{"PermissionFlag", [](PdfDocument& d) { d.Permissions(2, 0, 0, 0, 0, 0, 0, 0); }},
                      MisuseCase{"EncryptionLevel", [](PdfDocument& d) { d.Encrypt("", "", 2, 0); }},
                      MisuseCase{"DrawAfterSave",
                                 [](PdfDocument& d) {
                                     TestFolder folder;
                                     d.SaveToFile(folder.path("a.pdf"));
                                     d.DrawText(1, 1, "late");
                                 }}),
    [](const ::testing::TestParamInfo<MisuseCase>& info) { return std::string(info.param.name); });

// Characters beyond the Basic Multilingual Plane, drawn by the fallback fonts that have
// them: DejaVu Sans for the emoji, Noto Sans CJK for the ideographs (beside ones of the
// plane in the same font) and whichever serif face has the mathematical letter.
const std::vector<std::string> kSupplementaryLines = {
    "emoji\U0001F600.txt",
    "faces \U0001F600\U0001F63A\U0001F431 in a row",
    "\u4E2D\U00020BB7\u6587 and \U0002A6B2.txt",
    "bold \U0001D400 letter",
    "plain entry_000001.dat",
};

void drawSupplementaryLines(PdfDocument& document)
{
    // Liberation Sans has none of them, so each comes from a fallback font.
    ASSERT_NE(document.AddTrueTypeFont("Liberation Sans", 1), 0);
    document.settextsize(10);
    int y = 800;
    for (const std::string& line : kSupplementaryLines) {
        document.DrawText(40, y, line);
        y -= 14;
    }
    // The same characters once more on a page of their own in another font.
    document.newpage();
    ASSERT_NE(document.AddTrueTypeFont("Liberation Serif", 1), 0);
    document.settextsize(10);
    document.DrawText(40, 800, kSupplementaryLines[1]);
}

void expectSupplementaryLines(const std::string& path, const std::string& password)
{
    PdfContent pdf = readPdf(path, password);
    ASSERT_EQ(pdf.lines.size(), kSupplementaryLines.size() + 1);
    for (std::size_t i = 0; i < kSupplementaryLines.size(); ++i)
        EXPECT_EQ(toUtf8(pdf.lines[i].text), kSupplementaryLines[i]);
    EXPECT_EQ(toUtf8(pdf.lines.back().text), kSupplementaryLines[1]);
    auto drawnIn = [](const DrawnLine& line, const std::string& font) {
        return std::any_of(line.fonts.begin(), line.fonts.end(),
                           [&font](const std::string& name) { return name.find(font) != std::string::npos; });
    };
    EXPECT_TRUE(drawnIn(pdf.lines[0], "DejaVuSans"));
    EXPECT_TRUE(drawnIn(pdf.lines[2], "NotoSansCJK"));

    std::string text = pdfToText(path, password);
    for (const std::string& line : kSupplementaryLines)
        EXPECT_NE(text.find(line), std::string::npos) << line << " not in:\n" << text;
}

TEST(PdfDocument, CharactersBeyondTheBasicPlaneReadBackAsDrawn)
{
    TestFolder folder;
    PdfDocument document;
    drawSupplementaryLines(document);
    document.SaveToFile(folder.path("beyond.pdf"));
    expectSupplementaryLines(folder.path("beyond.pdf"), "");
}

TEST(PdfDocument, CharactersBeyondTheBasicPlaneReadBackWhenEncrypted)
{
    TestFolder folder;
    PdfDocument document;
    drawSupplementaryLines(document);
    document.Encrypt("", "secret", 1, document.Permissions(1, 1, 0, 0, 0, 0, 0, 1));
    document.SaveToFile(folder.path("beyond.pdf"));
    EXPECT_TRUE(passwordRefused(folder.path("beyond.pdf"), ""));
    expectSupplementaryLines(folder.path("beyond.pdf"), "secret");
}

TEST(PdfDocument, UnknownFontLeavesTheCurrentOne)
{
    TestFolder folder;
    PdfDocument document;
    ASSERT_NE(document.AddTrueTypeFont("Liberation Mono", 1), 0);
    EXPECT_EQ(document.AddTrueTypeFont("Zintrel No Such Face", 1), 0);
    document.DrawText(40, 800, "mono");
    document.SaveToFile(folder.path("f.pdf"));

    PdfContent pdf = readPdf(folder.path("f.pdf"));
    ASSERT_EQ(pdf.lines.size(), 1u);
    EXPECT_NE(pdf.lines[0].fonts.at(0).find("LiberationMono"), std::string::npos) << pdf.lines[0].fonts.at(0);
}

} // namespace
