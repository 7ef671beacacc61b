// A long listing is drawn on several threads at once, a range of pages each, and the
// pages joined into one document: it must read back exactly as one thread draws it.

#include "pdf/ParallelDrawing.h"
#include "pdf/RenderListingPdf.h"

#include "PdfReadBack.h"
#include "TestFiles.h"
#include "listing/ListingOptions.h"
#include "listing/ListingProgress.h"
#include "platform/CancelToken.h"
#include "platform/IoError.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

using namespace zintrel;

namespace {

using Names = std::vector<std::string>;

// Header, folders in the folder colour, files in the file colour, a name that is not
// UTF-8, and names beyond the Basic Multilingual Plane far down, where a later thread
// draws them.
std::vector<std::string> mixedListing(int entries)
{
    std::vector<std::string> lines = {"12/08/26 10:00:00", "Processed: /data", "*****"};
    for (int i = 0; i < entries; ++i) {
        if (i % 37 == 0)
            lines.push_back(" folder" + std::to_string(i) + "  0 Kb  D  /data/folder" + std::to_string(i) + "  1");
        else if (i == entries - 5)
            lines.push_back(" emoji\U0001F600 \u4E2D\U00020BB7\u6587.txt  1 Kb  A");
        else if (i == entries / 2)
            lines.push_back(" bad\xFF\xFEname.txt  1 Kb  A");
        else
            lines.push_back(" entry" + std::to_string(i) + ".dat  " + std::to_string(i % 900 + 1) + " Kb  A");
    }
    lines.push_back("*****");
    lines.push_back("Files: " + std::to_string(entries));
    return lines;
}

// A bookmark for every folder line, each one under the one before it every third time.
std::vector<ListingBookmark> folderBookmarks(const std::vector<std::string>& lines)
{
    std::vector<ListingBookmark> outline;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("  0 Kb") == std::string::npos)
            continue;
        const int parent = outline.size() % 3 == 1 ? static_cast<int>(outline.size()) - 1 : -1;
        outline.push_back(ListingBookmark{static_cast<std::int64_t>(i) + 1, parent, lines[i].substr(1, 12)});
    }
    return outline;
}

struct ParallelCase {
    const char* name;
    int threads;
    bool landscape;
    int fontSize;
    int entries;
    bool encrypted;
    bool lastLineEnded = true;
};

void PrintTo(const ParallelCase& c, std::ostream* out) { *out << c.name; }

class ParallelTest : public ::testing::TestWithParam<ParallelCase> {};

std::string bookmarkText(const std::vector<Bookmark>& list)
{
    std::string text;
    for (const Bookmark& b : list)
        text += b.title + "@" + std::to_string(b.page) + ":" + std::to_string(b.top) + "(" + bookmarkText(b.kids) + ")";
    return text;
}

TEST_P(ParallelTest, DrawsWhatOneThreadDraws)
{
    const ParallelCase& c = GetParam();
    TestFolder folder;
    const std::vector<std::string> lines = mixedListing(c.entries);
    std::string listing = folder.writeListing("listing.txt", lines);
    if (!c.lastLineEnded)
        std::filesystem::resize_file(listing, std::filesystem::file_size(listing) - 2);
    const std::vector<ListingBookmark> outline = folderBookmarks(lines);

    ListingOptions options;
    options.landscape = c.landscape;
    options.listingFont.face = "Liberation Sans";
    options.listingFont.pointSize = c.fontSize;
    options.folderColor = RgbColor{200, 30, 40};
    options.fileColor = RgbColor{10, 90, 160};
    options.pdfSecurity = c.encrypted;
    options.pdfPassword = options.pdfPasswordConfirm = c.encrypted ? "pw" : "";
    const std::string password = options.pdfPassword;

    PdfRendering how;
    how.lineCount = static_cast<std::int64_t>(lines.size());
    how.bookmarks = &outline;
    how.threads = 1;
    renderFile(listing, folder.path("one.pdf"), options, how);
    how.threads = c.threads;
    renderFile(listing, folder.path("many.pdf"), options, how);

    const PdfContent one = readPdf(folder.path("one.pdf"), password);
    const PdfContent many = readPdf(folder.path("many.pdf"), password);
    ASSERT_EQ(many.pages.size(), one.pages.size());
    for (std::size_t p = 0; p < one.pages.size(); ++p) {
        EXPECT_EQ(many.pages[p].width, one.pages[p].width) << "page " << p + 1;
        EXPECT_EQ(many.pages[p].height, one.pages[p].height) << "page " << p + 1;
    }
    ASSERT_EQ(one.lines.size(), lines.size());
    ASSERT_EQ(many.lines.size(), one.lines.size());
    for (std::size_t i = 0; i < one.lines.size(); ++i) {
        const DrawnLine& a = one.lines[i];
        const DrawnLine& b = many.lines[i];
        SCOPED_TRACE("line " + std::to_string(i));
        EXPECT_EQ(b.text, a.text);
        EXPECT_EQ(b.page, a.page);
        EXPECT_EQ(b.x, a.x);
        EXPECT_EQ(b.y, a.y);
        ASSERT_EQ(b.colors.size(), a.colors.size());
        for (std::size_t g = 0; g < a.colors.size(); ++g) {
            EXPECT_EQ(b.colors[g].red, a.colors[g].red);
            EXPECT_EQ(b.colors[g].green, a.colors[g].green);
            EXPECT_EQ(b.colors[g].blue, a.colors[g].blue);
        }
        if (::testing::Test::HasFailure())
            break; // one line is enough to see what went wrong
    }
    EXPECT_EQ(bookmarkText(many.outline), bookmarkText(one.outline));
    EXPECT_FALSE(one.outline.empty());
    EXPECT_EQ(many.outlineShownAtOpen, one.outlineShownAtOpen);
    EXPECT_EQ(many.author, one.author);
    EXPECT_EQ(many.title, one.title);
    EXPECT_EQ(many.creator, one.creator);
    EXPECT_TRUE(many.encryption.aes256);
    EXPECT_EQ(many.encryption.printHighRes, one.encryption.printHighRes);
    EXPECT_EQ(many.encryption.extractAll, one.encryption.extractAll);
    EXPECT_EQ(passwordRefused(folder.path("many.pdf"), ""), c.encrypted);
    // Copying the text out gives the same characters, those beyond the plane among them.
    const std::string text = pdfToText(folder.path("many.pdf"), password);
    EXPECT_EQ(text, pdfToText(folder.path("one.pdf"), password));
    EXPECT_NE(text.find("emoji\U0001F600 \u4E2D\U00020BB7\u6587.txt"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ParallelTest,
                         ::testing::Values(ParallelCase{"TwoThreadsPortrait", 2, false, 10, 700, false},
                                           ParallelCase{"ThreeThreadsLandscapeEncrypted", 3, true, 9, 700, true},
                                           ParallelCase{"FourThreadsLargeFont", 4, false, 31, 300, true},
                                           // More threads than pages: one thread a page.
                                           ParallelCase{"MoreThreadsThanPages", 8, true, 12, 120, false},
                                           ParallelCase{"LastLineWithoutItsEnd", 3, false, 10, 400, false, false}),
                         [](const ::testing::TestParamInfo<ParallelCase>& info) {
                             return std::string(info.param.name);
                         });

// Where the lines go follows from their number alone, as drawing them one after another
// puts them: 30 points from the top, one font size apart, a new page below 50 points. Fonts
// too large for the first page leave it empty, and those too large for any page put each
// line on a page of its own.
TEST(PageLayout, PutsLinesWhereDrawingThemInTurnWould)
{
    for (int fontSize : {6, 10, 13, 72, 400, 530, 760, 900}) {
        for (double height : {595.0, 842.0}) {
            PageLayout layout(height, fontSize, 30, 50);
            SCOPED_TRACE("font " + std::to_string(fontSize) + " page " + std::to_string(height));
            EXPECT_EQ(layout.regular(), height - 30 - fontSize >= 50);
            // The sequential rule: step down, and start a page once below the limit.
            std::int64_t y = static_cast<std::int64_t>(height) - 30;
            int page = 0;
            for (std::int64_t line = 0; line < 500; ++line) {
                y -= fontSize;
                if (y < 50) {
                    ++page;
                    y = static_cast<std::int64_t>(height) - 30 - fontSize;
                }
                ASSERT_EQ(layout.pageOf(line), page) << "line " << line;
                ASSERT_EQ(layout.heightOf(line), y) << "line " << line;
                if (line == 0 || layout.pageOf(line - 1) != page) {
                    ASSERT_EQ(layout.firstLineOf(page), line);
                }
            }
        }
    }
}

// Cancels the save once the drawing has gone this far.
class CancelAt : public ListingProgress {
public:
    CancelAt(CancelToken& cancel, std::int64_t lines)
        : m_cancel(cancel)
        , m_lines(lines)
    {
    }
    void folderEntered(const std::string&, std::int64_t, std::int64_t) override {}
    void drawing(std::int64_t line, std::int64_t, int) override
    {
        if (line >= m_lines)
            m_cancel.cancel();
    }

private:
    CancelToken& m_cancel;
    std::int64_t m_lines;
};

Names entriesOf(const std::string& folder)
{
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A cancel reaches every thread; a thread's failure stops the others and is the one told:
// either way no PDF and no temporary file remain.
TEST(ParallelDrawing, CancelStopsEveryThreadAndLeavesNothing)
{
    TestFolder folder;
    std::filesystem::create_directories(folder.path("tmp"));
    std::filesystem::create_directories(folder.path("out"));
    test::ScopedTemporaryFolder tmp(folder.path("tmp"));
    std::string listing = folder.writeListing("listing.txt", mixedListing(20000));
    CancelToken cancel;
    CancelAt progress(cancel, 3000);
    PdfRendering how{cancel};
    how.lineCount = 20000;
    how.threads = 4;
    how.progress = &progress;
    ListingOptions options;
    EXPECT_TRUE(
        test::throwsError<SaveCancelled>([&] { renderFile(listing, folder.path("out/list.pdf"), options, how); }));
    EXPECT_EQ(entriesOf(folder.path("tmp")), Names{});
    EXPECT_EQ(entriesOf(folder.path("out")), Names{});
}

TEST(ParallelDrawing, AFullDiskIsToldAsSuchNotAsACancel)
{
    TestFolder folder;
    const std::string small = folder.path("small");
    std::filesystem::create_directories(small);
    test::ScopedMount mount("tmpfs", small, "size=32k");
    if (!mount.ok())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    std::filesystem::create_directories(small + "/tmp");
    std::filesystem::create_directories(folder.path("out"));
    test::ScopedTemporaryFolder tmp(small + "/tmp");
    std::string listing = folder.writeListing("listing.txt", mixedListing(20000));
    PdfRendering how;
    how.lineCount = 20000;
    how.threads = 4;
    ListingOptions options;
    std::string text;
    EXPECT_TRUE(
        test::throwsError<IoError>([&] { renderFile(listing, folder.path("out/list.pdf"), options, how); }, &text));
    EXPECT_NE(text.find(folder.path("out/list.pdf")), std::string::npos) << text;
    EXPECT_EQ(entriesOf(small + "/tmp"), Names{});
    EXPECT_EQ(entriesOf(folder.path("out")), Names{});
}

} // namespace
