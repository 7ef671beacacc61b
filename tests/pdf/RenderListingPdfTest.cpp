#include "pdf/RenderListingPdf.h"

#include "PdfReadBack.h"
#include "TestFiles.h"
#include "listing/ListingOptions.h"
#include "listing/ListingRun.h"
#include "platform/CancelToken.h"
#include "platform/IoError.h"
#include "tests/support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace zintrel;

namespace {

constexpr double kColorTolerance = 1.0 / 512; // PDF colours are written with limited digits

struct Render {
    std::string pdf;
    std::vector<std::string> notices;
};

Render renderListing(const TestFolder& folder, const std::vector<std::string>& lines, const ListingOptions& options,
                     const CancelToken* cancel = nullptr)
{
    Render result;
    std::string listing = folder.writeListing("listing.txt", lines);
    result.pdf = folder.path("out.pdf");
    renderFile(
        listing, result.pdf, options, [&result](const std::string& text) { result.notices.push_back(text); }, cancel);
    return result;
}

std::vector<std::string> entryLines(int count)
{
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back(" entry" + std::to_string(i) + ".dat  1 Kb  A");
    return lines;
}

Rgb fractions(RgbColor c) { return {c.red / 255.0, c.green / 255.0, c.blue / 255.0}; }

void expectColor(const DrawnLine& line, const Rgb& expected, const std::string& what)
{
    ASSERT_FALSE(line.colors.empty()) << what;
    for (const Rgb& c : line.colors) {
        EXPECT_NEAR(c.red, expected.red, kColorTolerance) << what;
        EXPECT_NEAR(c.green, expected.green, kColorTolerance) << what;
        EXPECT_NEAR(c.blue, expected.blue, kColorTolerance) << what;
    }
}

// ---------------------------------------------------------------------------------------
// Page size, line positions and page breaks

struct Position {
    int line; // index in the listing
    int page;
    double y;
};

struct LayoutCase {
    const char* name;
    bool landscape;
    int fontSize;
    int lineCount;
    int pages;
    double pageWidth, pageHeight;
    std::vector<Position> positions;
};

void PrintTo(const LayoutCase& c, std::ostream* out) { *out << c.name; }

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, PlacesEveryLineAndBreaksPagesAtTheBottomLimit)
{
    const LayoutCase& c = GetParam();
    TestFolder folder;
    ListingOptions options;
    options.landscape = c.landscape;
    options.listingFont.face = "Liberation Sans";
    options.listingFont.pointSize = c.fontSize;
    std::vector<std::string> lines = entryLines(c.lineCount);
    Render r = renderListing(folder, lines, options);

    PdfContent pdf = readPdf(r.pdf);
    ASSERT_EQ(pdf.pages.size(), static_cast<std::size_t>(c.pages));
    for (const PageInfo& page : pdf.pages) {
        EXPECT_DOUBLE_EQ(page.width, c.pageWidth);
        EXPECT_DOUBLE_EQ(page.height, c.pageHeight);
    }
    ASSERT_EQ(pdf.lines.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(toUtf8(pdf.lines[i].text), lines[i]) << "line " << i;
        EXPECT_NEAR(pdf.lines[i].x, 40, 1e-6) << "line " << i;
        if (i > 0 && pdf.lines[i].page == pdf.lines[i - 1].page) {
            EXPECT_NEAR(pdf.lines[i - 1].y - pdf.lines[i].y, c.fontSize, 1e-6) << "line " << i;
        }
    }
    for (const Position& p : c.positions) {
        EXPECT_EQ(pdf.lines.at(p.line).page, p.page) << "line " << p.line;
        EXPECT_NEAR(pdf.lines.at(p.line).y, p.y, 1e-6) << "line " << p.line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, LayoutTest,
    ::testing::Values(
        LayoutCase{"LandscapeTenPoint",
                   true,
                   10,
                   120,
                   3,
                   842,
                   595,
                   {{0, 1, 555}, {50, 1, 55}, {51, 2, 555}, {101, 2, 55}, {102, 3, 555}, {119, 3, 385}}},
        LayoutCase{"PortraitFullPageAddsNoEmptyPage", false, 10, 76, 1, 595, 842, {{0, 1, 802}, {75, 1, 52}}},
        LayoutCase{"PortraitOneLineMore", false, 10, 77, 2, 595, 842, {{75, 1, 52}, {76, 2, 802}}},
        LayoutCase{"PortraitEightPoint", false, 8, 3, 1, 595, 842, {{0, 1, 804}, {2, 1, 788}}},
        LayoutCase{"LandscapeNinePoint", true, 9, 58, 2, 842, 595, {{0, 1, 556}, {56, 1, 52}, {57, 2, 556}}},
        // The first line of a page already lies below the limit: each line gets a page of
        // its own, and the first page stays empty.
        LayoutCase{"FontTallerThanThePage", true, 600, 3, 4, 842, 595, {{0, 2, -35}, {1, 3, -35}, {2, 4, -35}}}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Text and colour of each kind of line

enum class Kind { Black, Folder, File };

struct ListingLine {
    std::string bytes;
    Kind kind;
    std::string drawn; // UTF-8 as it must read back; empty: the bytes themselves
};

TEST(RenderListingPdf, DrawsEachLineAsWrittenInTheColourOfItsClass)
{
    const std::vector<ListingLine> listing = {
        {"12/08/26 10:00:00", Kind::Black, ""},
        {"Processed: /data/photos", Kind::Black, ""},
        {"Exclude attributes:    Attributes:", Kind::Black, ""},
        {"Columns:  Name, Size, Attributes, Date and Time, Path, Level, ", Kind::Black, ""},
        {"****************************************", Kind::Black, ""},
        {" holiday  0 Kb  D  12/08/26 09:00:00  /data/photos/holiday  1  ", Kind::Folder, ""},
        {"    office.txt  3 Kb  A  12/08/26 09:00:00  /data/photos/holiday/office.txt  2  ", Kind::File, ""},
        // Field spacing 0: no blank before the folder's size.
        {" Letters0 KbD12/08/26 09:00:00/data/photos/Letters1", Kind::File, ""},
        // A name holding " 0 Kb" makes a file line look like a folder line.
        {" report 0 Kb.txt  1 Kb  A", Kind::Folder, ""},
        // Without the size column nothing reads " 0 Kb".
        {" archive  D  12/08/26 09:00:00", Kind::File, ""},
        {" \xC3\xA9.txt  1 Kb  A", Kind::File, ""},
        {" \xE4\xB8\xAD\xE6\x96\x87.txt  1 Kb  A", Kind::File, ""},
        {" bad\xFFname.txt  1 Kb  A", Kind::File, " bad\xEF\xBF\xBDname.txt  1 Kb  A"},
        {"****************************************", Kind::Black, ""},
        {"Folders:    2", Kind::Black, ""},
        {"Files:      7", Kind::Black, ""},
        {"Total size: 9 Kb", Kind::Black, ""},
    };
    TestFolder folder;
    ListingOptions options;
    options.folderColor = {200, 10, 30};
    options.fileColor = {5, 120, 250};
    std::vector<std::string> lines;
    for (const ListingLine& l : listing)
        lines.push_back(l.bytes);
    Render r = renderListing(folder, lines, options);

    PdfContent pdf = readPdf(r.pdf);
    ASSERT_EQ(pdf.lines.size(), listing.size());
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const ListingLine& expected = listing[i];
        const DrawnLine& drawn = pdf.lines[i];
        std::string what = "line " + std::to_string(i) + ": " + expected.bytes;
        EXPECT_EQ(toUtf8(drawn.text), expected.drawn.empty() ? expected.bytes : expected.drawn) << what;
        EXPECT_NEAR(drawn.x, 40, 1e-6) << what;
        EXPECT_NEAR(drawn.y, 565 - 8.0 * (i + 1), 1e-6) << what;
        Rgb color = expected.kind == Kind::Black ? Rgb{0, 0, 0}
            : expected.kind == Kind::Folder      ? fractions(options.folderColor)
                                                 : fractions(options.fileColor);
        expectColor(drawn, color, what);
    }
}

struct FaceCase {
    const char* name;
    const char* face;
};

void PrintTo(const FaceCase& c, std::ostream* out) { *out << c.name; }

class SearchTest : public ::testing::TestWithParam<FaceCase> {};

// Ligatures ("fi", "ffi") would turn letters into one glyph that a search does not find.
TEST_P(SearchTest, TextCanBeFoundByItsCharacters)
{
    TestFolder folder;
    ListingOptions options;
    options.listingFont.face = GetParam().face;
    const std::vector<std::string> lines
        = {"Processed: /home/anna", " \xC3\xA9.txt  1 Kb  A", " \xE4\xB8\xAD\xE6\x96\x87.txt  1 Kb  A",
           " office.txt  2 Kb  A",  " file.txt  2 Kb  A",     " fluffy.txt  2 Kb  A"};
    Render r = renderListing(folder, lines, options);
    ASSERT_TRUE(r.notices.empty()) << GetParam().face << " is not installed";

    std::string text = pdfToText(r.pdf);
    for (const char* word : {"\xC3\xA9.txt", "\xE4\xB8\xAD\xE6\x96\x87.txt", "office.txt", "file.txt", "fluffy.txt"})
        EXPECT_NE(text.find(word), std::string::npos) << word << " not in:\n" << text;
    PdfContent pdf = readPdf(r.pdf);
    ASSERT_EQ(pdf.lines.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(toUtf8(pdf.lines[i].text), lines[i]);
}

INSTANTIATE_TEST_SUITE_P(Faces, SearchTest,
                         ::testing::Values(FaceCase{"MsSansSerif", "MS Sans Serif"},
                                           FaceCase{"LiberationSerif", "Liberation Serif"},
                                           FaceCase{"DejaVuSans", "DejaVu Sans"},
                                           FaceCase{"DejaVuSerif", "DejaVu Serif"}),
                         [](const ::testing::TestParamInfo<FaceCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Document information

TEST(RenderListingPdf, FillsTheDocumentInformation)
{
    TestFolder folder;
    ListingOptions options;
    options.pdfTitle = "\xC3\x9C"
                       "berblick 2026";
    options.pdfAuthor = "Jane Roe";
    Render r = renderListing(folder, {"Processed: /srv"}, options);

    PdfContent pdf = readPdf(r.pdf);
    EXPECT_EQ(pdf.title, options.pdfTitle);
    EXPECT_EQ(pdf.author, options.pdfAuthor);
    EXPECT_EQ(pdf.creator, "Zintrel Software   (https://www.example.org/)");
    EXPECT_EQ(pdf.producer, "Zintrel v1.0 (https://www.example.org/)");
}

// ---------------------------------------------------------------------------------------
// Security

struct SecurityCase {
    const char* name;
    bool security;
    bool allowPrint, allowChange, allowCopy;
};

void PrintTo(const SecurityCase& c, std::ostream* out) { *out << c.name; }

class SecurityTest : public ::testing::TestWithParam<SecurityCase> {};

TEST_P(SecurityTest, EncryptsWithAes256AndTheChosenPermissions)
{
    const SecurityCase& c = GetParam();
    const std::string password = "s3cr\xC3\xA9t";
    TestFolder folder;
    ListingOptions options;
    options.pdfSecurity = c.security;
    options.pdfPassword = options.pdfPasswordConfirm = c.security ? password : "";
    options.allowPrint = c.allowPrint;
    options.allowChange = c.allowChange;
    options.allowCopy = c.allowCopy;
    Render r = renderListing(folder, {"Processed: /srv", " a.txt  1 Kb  A"}, options);

    if (c.security) {
        EXPECT_TRUE(passwordRefused(r.pdf, ""));
        EXPECT_TRUE(passwordRefused(r.pdf, "s3cret"));
    } else {
        EXPECT_FALSE(passwordRefused(r.pdf, ""));
    }
    PdfContent pdf = readPdf(r.pdf, c.security ? password : "");
    const Encryption& e = pdf.encryption;
    EXPECT_TRUE(e.encrypted);
    EXPECT_EQ(e.revision, 6);
    EXPECT_EQ(e.version, 5);
    EXPECT_TRUE(e.aes256);
    // Opened with the chosen password or none, but never as the owner: the permissions
    // hold for whoever opens the document.
    EXPECT_TRUE(e.userPasswordMatched);
    EXPECT_FALSE(e.ownerPasswordMatched);
    EXPECT_EQ(e.printHighRes, c.allowPrint);
    EXPECT_EQ(e.printLowRes, c.allowPrint);
    EXPECT_EQ(e.modifyOther, c.allowChange);
    EXPECT_EQ(e.extractAll, c.allowCopy);
    EXPECT_TRUE(e.modifyAnnotation);
    EXPECT_TRUE(e.modifyForm);
    EXPECT_FALSE(e.modifyAssembly);
    EXPECT_TRUE(e.accessibility);
    // The text is still there under the encryption.
    ASSERT_EQ(pdf.lines.size(), 2u);
    EXPECT_EQ(toUtf8(pdf.lines[1].text), " a.txt  1 Kb  A");
}

INSTANTIATE_TEST_SUITE_P(Permissions, SecurityTest,
                         ::testing::Values(SecurityCase{"PasswordNothingAllowed", true, false, false, false},
                                           SecurityCase{"PasswordPrintOnly", true, true, false, false},
                                           SecurityCase{"PasswordEverything", true, true, true, true},
                                           SecurityCase{"NoPasswordNothingAllowed", false, false, false, false},
                                           SecurityCase{"NoPasswordCopyOnly", false, false, false, true},
                                           SecurityCase{"NoPasswordChangeOnly", false, false, true, false}),
                         [](const ::testing::TestParamInfo<SecurityCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------------
// Font

std::string compact(const std::string& family)
{
    std::string out;
    for (char ch : family) {
        if (ch != ' ')
            out += ch;
    }
    return out;
}

struct FontCase {
    const char* name;
    const char* face;
    bool notice;
    std::string baseFont; // as the subset name ends
};

void PrintTo(const FontCase& c, std::ostream* out) { *out << c.name; }

class FontTest : public ::testing::TestWithParam<FontCase> {};

TEST_P(FontTest, UsesTheListingFontOrTellsAndFallsBack)
{
    const FontCase& c = GetParam();
    TestFolder folder;
    ListingOptions options;
    options.listingFont.face = c.face;
    Render r = renderListing(folder, {"Processed: /srv"}, options);

    if (c.notice) {
        ASSERT_EQ(r.notices.size(), 1u);
        EXPECT_EQ(r.notices[0], "The selected font can not be used in a PDF. The default font will be used !");
    } else {
        EXPECT_TRUE(r.notices.empty());
    }
    PdfContent pdf = readPdf(r.pdf);
    ASSERT_EQ(pdf.lines.size(), 1u);
    ASSERT_FALSE(pdf.lines[0].fonts.empty());
    const std::string& used = pdf.lines[0].fonts.front();
    std::string expected = c.baseFont;
    if (expected.empty()) {
        // The system's default sans-serif, as fontconfig names it.
        QProcess match;
        match.start(QStringLiteral("fc-match"),
                    {QStringLiteral("-f"), QStringLiteral("%{postscriptname}"), QStringLiteral("sans-serif")});
        ASSERT_TRUE(match.waitForFinished(30000));
        expected = match.readAllStandardOutput().toStdString();
        ASSERT_FALSE(expected.empty());
    }
    EXPECT_NE(used.find(expected), std::string::npos) << used << " is not " << expected;
}

INSTANTIATE_TEST_SUITE_P(Faces, FontTest,
                         ::testing::Values(FontCase{"SubstitutedDefaultFace", "MS Sans Serif", false, "LiberationSans"},
                                           FontCase{"InstalledFace", "Liberation Serif", false, "LiberationSerif"},
                                           FontCase{"FaceMatchedWithoutCase", "liberation mono", false,
                                                    "LiberationMono"},
                                           FontCase{"UnknownFace", "Zintrel No Such Face", true, ""}),
                         [](const ::testing::TestParamInfo<FontCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Edge cases and failures

TEST(RenderListingPdf, EmptyListingGivesOneEmptyPageThatIsStillProtected)
{
    TestFolder folder;
    ListingOptions options;
    options.pdfTitle = "Empty";
    Render r = renderListing(folder, {}, options);

    PdfContent pdf = readPdf(r.pdf);
    EXPECT_EQ(pdf.pages.size(), 1u);
    EXPECT_TRUE(pdf.lines.empty());
    EXPECT_EQ(pdf.title, "Empty");
    EXPECT_TRUE(pdf.encryption.encrypted);
    EXPECT_EQ(pdf.encryption.revision, 6);
}

TEST(RenderListingPdf, ReadsLineEndsOfEveryKindAndVeryLongLines)
{
    TestFolder folder;
    std::string longName(5000, 'x');
    std::string listing = folder.path("mixed.txt");
    {
        std::ofstream out(listing, std::ios::binary);
        out << "Header\r\n"
            << " " << longName << "  1 Kb\n"
            << " last  1 Kb"; // no line end at all
    }
    ListingOptions options;
    std::string pdfPath = folder.path("out.pdf");
    renderFile(listing, pdfPath, options, nullptr, nullptr);

    PdfContent pdf = readPdf(pdfPath);
    ASSERT_EQ(pdf.lines.size(), 3u);
    EXPECT_EQ(toUtf8(pdf.lines[0].text), "Header");
    EXPECT_EQ(toUtf8(pdf.lines[1].text), " " + longName + "  1 Kb");
    EXPECT_EQ(toUtf8(pdf.lines[2].text), " last  1 Kb");
}

enum class Failure { MissingListing, MissingOutputFolder, HugeFont, Cancelled };

struct FailureCase {
    const char* name;
    Failure failure;
    std::string message; // empty: any
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class FailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureTest, ThrowsAndWritesNoDocument)
{
    const FailureCase& c = GetParam();
    TestFolder folder;
    std::string listing = folder.writeListing("listing.txt", {"Processed: /srv", " a.txt  1 Kb  A"});
    std::string output = folder.path("out.pdf");
    ListingOptions options;
    CancelToken cancel;
    switch (c.failure) {
    case Failure::MissingListing:
        listing = folder.path("gone.txt");
        break;
    case Failure::MissingOutputFolder:
        output = folder.path("no/such/folder/out.pdf");
        break;
    case Failure::HugeFont:
        options.listingFont.pointSize = 2147483647;
        break;
    case Failure::Cancelled:
        cancel.cancel();
        break;
    }

    auto render = [&] { renderFile(listing, output, options, nullptr, &cancel); };
    std::string text;
    if (c.failure == Failure::Cancelled) {
        EXPECT_TRUE(test::throwsError<SaveCancelled>(render));
    } else if (c.failure == Failure::MissingListing || c.failure == Failure::MissingOutputFolder) {
        EXPECT_TRUE(test::throwsError<IoError>(render, &text));
    } else {
        EXPECT_TRUE(test::throwsError<std::runtime_error>(render, &text));
    }
    if (!c.message.empty()) {
        EXPECT_EQ(text, c.message);
    }
    EXPECT_FALSE(std::filesystem::exists(output));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailureTest,
    ::testing::Values(FailureCase{"MissingListing", Failure::MissingListing, ""},
                      FailureCase{"MissingOutputFolder", Failure::MissingOutputFolder, ""},
                      FailureCase{"HugeFont", Failure::HugeFont, "The text size must lie between 1 and 14400 points."},
                      FailureCase{"Cancelled", Failure::Cancelled, ""}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

struct FileErrorCase {
    const char* name;
    std::string output; // relative: inside the test folder
    std::string text;   // the error box text before the file name
};

void PrintTo(const FileErrorCase& c, std::ostream* out) { *out << c.name; }

class FileErrorTest : public ::testing::TestWithParam<FileErrorCase> {};

TEST_P(FileErrorTest, NamesTheFileForTheErrorBox)
{
    const FileErrorCase& c = GetParam();
    TestFolder folder;
    std::string listing = folder.writeListing("listing.txt", {"Processed: /srv", " a.txt  1 Kb  A"});
    std::string output = c.output.front() == '/' ? c.output : folder.path(c.output);
    std::string text;
    EXPECT_TRUE(test::throwsError<IoError>([&] { renderFile(listing, output, ListingOptions{}); }, &text));
    EXPECT_EQ(text, c.text + "\n" + output);
}

INSTANTIATE_TEST_SUITE_P(Output, FileErrorTest,
                         ::testing::Values(FileErrorCase{"MissingFolder", "no/such/folder/out.pdf", "I/O error 2"},
                                           FileErrorCase{"DiskFull", "/dev/full", "Disk full"}),
                         [](const ::testing::TestParamInfo<FileErrorCase>& info) {
                             return std::string(info.param.name);
                         });

// The drawing goes through a temporary file of its own; it must not outlive the render.
TEST(RenderListingPdf, LeavesNoTemporaryFileBehind)
{
    TestFolder folder;
    std::string temporary = folder.path("tmp");
    std::filesystem::create_directory(temporary);
    test::ScopedTemporaryFolder tmp(temporary);

    std::string listing = folder.writeListing("listing.txt", entryLines(200));
    renderFile(listing, folder.path("done.pdf"), ListingOptions{}, nullptr, nullptr);
    CancelToken cancel;
    cancel.cancel();
    EXPECT_THROW(renderFile(listing, folder.path("cancelled.pdf"), ListingOptions{}, nullptr, &cancel), SaveCancelled);
    EXPECT_THROW(renderFile(listing, "/dev/full", ListingOptions{}, nullptr, nullptr), IoError);

    EXPECT_TRUE(std::filesystem::is_empty(temporary));
    EXPECT_TRUE(std::filesystem::exists(listing)); // the caller's to remove
}

} // namespace
