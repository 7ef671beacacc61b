// A whole PDF save through the listing engine with the real PDF output: what reaches the
// user, what lands on disk, and what is left when the save fails.

#include "pdf/ListingPdfOutput.h"
#include "pdf/RenderListingPdf.h"

#include "PdfReadBack.h"
#include "TestFiles.h"
#include "listing/ListingRun.h"
#include "listing/ScriptedUi.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <sys/stat.h>

using namespace zintrel;

namespace {

// Answers the save dialog with a PDF target.
ScriptedUi pdfUi(const std::string& target)
{
    ScriptedUi ui;
    ui.choice = TargetChoice{target, OutputType::Pdf};
    return ui;
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct SaveScene {
    TestFolder folder;
    std::string tree, out, temporary, target;
    SaveScene()
        : tree(folder.path("tree"))
        , out(folder.path("out"))
        , temporary(folder.path("tmp"))
        , target(folder.path("out/listing.pdf"))
    {
        std::filesystem::create_directories(tree + "/photos");
        std::ofstream(tree + "/photos/beach.jpg") << std::string(3000, 'x');
        std::filesystem::create_directories(out);
        std::filesystem::create_directories(temporary);
    }
};

TEST(PdfSave, WritesTheTargetOpensItAndLeavesNothingElse)
{
    SaveScene s;
    test::ScopedTemporaryFolder tmp(s.temporary);
    ListingPdfMaker pdfOutput;
    SaveEnvironment environment;
    environment.pdfOutput = &pdfOutput;
    ScriptedUi ui = pdfUi(s.target);
    ListingOptions options;
    options.listingFont.face = "Zintrel No Such Face";

    EXPECT_EQ(ListingRun::save(options, s.tree, environment, ui), SaveOutcome::Saved);
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_EQ(ui.messages, std::vector<std::string>{kFontNotice});
    EXPECT_EQ(ui.opened, std::vector<std::string>{s.target});
    EXPECT_EQ(namesIn(s.out), std::vector<std::string>{"listing.pdf"});
    EXPECT_TRUE(std::filesystem::is_empty(s.temporary));

    PdfContent pdf = readPdf(s.target);
    std::u32string all;
    for (const DrawnLine& line : pdf.lines)
        all += line.text + U'\n';
    EXPECT_NE(all.find(U"   beach.jpg  "), std::u32string::npos) << toUtf8(all);
    EXPECT_NE(all.find(U"Processed: " + toU32(s.tree)), std::u32string::npos) << toUtf8(all);
}

TEST(PdfSave, FailedSaveKeepsTheOldTargetAndOpensNothing)
{
    SaveScene s;
    std::ofstream(s.target) << "the old document";
    // The drawing cannot get its temporary file.
    test::ScopedTemporaryFolder tmp(s.folder.path("no-such-folder"));
    ListingPdfMaker pdfOutput;
    SaveEnvironment environment;
    environment.pdfOutput = &pdfOutput;
    environment.temporaryFolder = s.temporary;
    ScriptedUi ui = pdfUi(s.target);

    EXPECT_EQ(ListingRun::save(ListingOptions{}, s.tree, environment, ui), SaveOutcome::Failed);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].rfind("I/O error 2", 0), 0u) << ui.errors[0];
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_EQ(namesIn(s.out), std::vector<std::string>{"listing.pdf"});
    std::ifstream in(s.target);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "the old document");
    EXPECT_TRUE(std::filesystem::is_empty(s.temporary));
}

// Names that run right to left, or hold a direction override, stay inside their own
// columns: every line keeps the column order of the text listing.
TEST(PdfSave, NamesOfAnyDirectionKeepTheColumnOrder)
{
    SaveScene s;
    test::ScopedTemporaryFolder tmp(s.temporary);
    const std::string hebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D.txt";   // shalom.txt
    const std::string arabic = "\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85 1.txt"; // salam 1.txt
    const std::string override = "abc\xE2\x80\xAEtxt.exe";               // U+202E inside
    for (const std::string& name : {hebrew, arabic, override})
        std::ofstream(s.tree + "/" + name) << "x";
    ListingPdfMaker pdfOutput;
    SaveEnvironment environment;
    environment.pdfOutput = &pdfOutput;
    ScriptedUi ui = pdfUi(s.target);
    ListingOptions options;
    options.showDateTime = false;
    ASSERT_EQ(ListingRun::save(options, s.tree, environment, ui), SaveOutcome::Saved);

    std::istringstream text(pdfToText(s.target));
    int entryLines = 0;
    for (std::string line; std::getline(text, line);) {
        if (line.find("1 Kb") == std::string::npos || line.find("beach") != std::string::npos)
            continue;
        ++entryLines;
        // Name, then size and attributes, then the path, then the level at the very end.
        std::size_t size = line.find("1 Kb");
        std::size_t attributes = line.find(" A ", size);
        std::size_t path = line.find(s.tree + "/", size);
        EXPECT_NE(attributes, std::string::npos) << line;
        EXPECT_NE(path, std::string::npos) << line;
        EXPECT_LT(attributes, path) << line;
        EXPECT_TRUE(line.ends_with(" 1") || line.ends_with(" 1 ")) << line;
    }
    EXPECT_EQ(entryLines, 3);
}

// Every folder of the first three levels has a bookmark, nested under its parent's, that
// leads to its line; a folder the filters leave out leads to what it holds. The outline
// opens with the top level shown, in the reader's side panel, encrypted with the rest.
TEST(PdfSave, BookmarksLeadToTheFolderLinesOfThreeLevels)
{
    SaveScene s;
    const std::string t = s.tree;
    for (const char* folder : {"/A/B/C/D", "/A/B2", "/Old/Kid/Grandkid", "/Z\xC3\xA9"})
        std::filesystem::create_directories(t + folder);
    for (int i = 0; i < 70; ++i) // enough lines for a second page
        std::ofstream(t + "/A/B2/f" + std::to_string(100 + i) + ".txt") << "x";
    // Old's own line is left out by the date filter; its subfolders' are not.
    const std::time_t recent = 1735000000; // December 2024
    for (const char* entry : {"", "/A", "/A/B", "/A/B/C", "/A/B/C/D", "/A/B2", "/Old/Kid", "/Old/Kid/Grandkid",
                              "/Z\xC3\xA9", "/photos", "/photos/beach.jpg"}) {
        const timespec times[2] = {{recent, 0}, {recent, 0}};
        ::utimensat(AT_FDCWD, (t + entry).c_str(), times, 0);
    }
    const timespec old[2] = {{946684800, 0}, {946684800, 0}};
    ::utimensat(AT_FDCWD, (t + "/Old").c_str(), old, 0);
    for (int i = 0; i < 70; ++i) {
        const timespec times[2] = {{recent, 0}, {recent, 0}};
        ::utimensat(AT_FDCWD, (t + "/A/B2/f" + std::to_string(100 + i) + ".txt").c_str(), times, 0);
    }

    test::ScopedTemporaryFolder tmp(s.temporary);
    ListingPdfMaker pdfOutput;
    SaveEnvironment environment;
    environment.pdfOutput = &pdfOutput;
    ScriptedUi ui = pdfUi(s.target);
    ListingOptions options;
    options.dateFilterEnabled = true;
    options.dateFrom = LocalDateTime{2024, 1, 1};
    options.dateTo = LocalDateTime{2025, 12, 31};
    options.pdfSecurity = true;
    options.pdfPassword = options.pdfPasswordConfirm = "pw";
    ASSERT_EQ(ListingRun::save(options, s.tree, environment, ui), SaveOutcome::Saved);

    PdfContent pdf = readPdf(s.target, "pw");
    EXPECT_TRUE(pdf.outlineShownAtOpen);
    EXPECT_TRUE(pdf.encryption.aes256);
    std::function<std::string(const std::vector<Bookmark>&)> shape = [&](const std::vector<Bookmark>& list) {
        std::string text;
        for (const Bookmark& b : list)
            text += b.title + (b.kids.empty() ? "" : "(" + shape(b.kids) + ")") + " ";
        return text;
    };
    EXPECT_EQ(shape(pdf.outline), "A(B(C ) B2 ) Old(Kid(Grandkid ) ) photos Z\xC3\xA9 ");

    // Each bookmark leads to its line: its page, and the top of the line's text; that of a
    // folder whose own line is left out, to the line of what it holds first.
    std::function<void(const std::vector<Bookmark>&)> check = [&](const std::vector<Bookmark>& list) {
        for (const Bookmark& b : list) {
            const std::string shown = b.title == "Old" ? "Kid" : b.title;
            // Titles of plain ASCII as they are; others in UTF-16.
            const bool ascii = std::all_of(b.title.begin(), b.title.end(),
                                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            EXPECT_EQ(b.utf16, !ascii) << b.title;
            EXPECT_FALSE(b.open) << b.title;
            auto line = std::find_if(pdf.lines.begin(), pdf.lines.end(), [&](const DrawnLine& drawn) {
                return toUtf8(drawn.text).find(s.tree + "/") != std::string::npos
                    && toUtf8(drawn.text).find(" " + shown + "  0 Kb") != std::string::npos;
            });
            ASSERT_NE(line, pdf.lines.end()) << b.title;
            EXPECT_EQ(b.page, line->page) << b.title;
            EXPECT_NEAR(b.top, line->y + options.listingFont.pointSize, 1e-6) << b.title;
            check(b.kids);
        }
    };
    check(pdf.outline);
    EXPECT_GE(pdf.pages.size(), 2u);

    // A mask leaves out every folder's line; the folders still give the outline its shape,
    // each bookmark leading to the first file line it holds, or what follows.
    options.dateFilterEnabled = false;
    options.fileMask = "*.txt";
    ASSERT_EQ(ListingRun::save(options, s.tree, environment, ui), SaveOutcome::Saved);
    pdf = readPdf(s.target, "pw");
    EXPECT_EQ(shape(pdf.outline), "A(B(C ) B2 ) Old(Kid(Grandkid ) ) photos Z\xC3\xA9 ");
    const Bookmark& b2 = pdf.outline.at(0).kids.at(1);
    auto first = std::find_if(pdf.lines.begin(), pdf.lines.end(), [](const DrawnLine& drawn) {
        return toUtf8(drawn.text).find("f100.txt") != std::string::npos;
    });
    ASSERT_NE(first, pdf.lines.end());
    EXPECT_EQ(b2.page, first->page);
    EXPECT_NEAR(b2.top, first->y + options.listingFont.pointSize, 1e-6);
}

} // namespace
