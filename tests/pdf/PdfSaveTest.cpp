// A whole PDF save through the listing engine with the real renderer: what reaches the
// user, what lands on disk, and what is left when the save fails.

#include "pdf/ListingPdfRenderer.h"

#include "PdfReadBack.h"
#include "TestFiles.h"
#include "listing/ListingRun.h"
#include "listing/ListingUi.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

using namespace zintrel;

namespace {

class RecordingUi : public ListingUi {
public:
    explicit RecordingUi(std::string target)
        : m_target(std::move(target))
    {
    }
    std::optional<TargetChoice> chooseTarget(const std::string&) override { return TargetChoice{m_target, OutputType::Pdf}; }
    bool confirmReplace(const std::string&) override { return true; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void showError(const std::string& text) override { errors.push_back(text); }
    void showTarget(const std::string&) override {}
    void openDocument(const std::string& path) override { opened.push_back(path); }
    void showUnreadableFolders(std::int64_t, const std::vector<std::string>& folders) override
    {
        unreadable.insert(unreadable.end(), folders.begin(), folders.end());
    }
    std::vector<std::string> unreadable;

    std::vector<std::string> messages, errors, opened;

private:
    std::string m_target;
};


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
    ListingPdfRenderer renderer;
    SaveEnvironment environment;
    environment.pdfRenderer = &renderer;
    RecordingUi ui(s.target);
    ListingOptions options;
    options.listingFont.face = "Zintrel No Such Face";

    EXPECT_EQ(ListingRun().save(options, s.tree, environment, ui), SaveOutcome::Saved);
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
    ListingPdfRenderer renderer;
    SaveEnvironment environment;
    environment.pdfRenderer = &renderer;
    environment.temporaryFolder = s.temporary;
    RecordingUi ui(s.target);

    EXPECT_EQ(ListingRun().save(ListingOptions{}, s.tree, environment, ui), SaveOutcome::Failed);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].rfind("I/O error 2", 0), 0u) << ui.errors[0];
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_EQ(namesIn(s.out), std::vector<std::string>{"listing.pdf"});
    std::ifstream in(s.target);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "the old document");
    EXPECT_TRUE(std::filesystem::is_empty(s.temporary));
}

} // namespace
