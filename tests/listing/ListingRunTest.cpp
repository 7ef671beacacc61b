#include "TempTree.h"
#include "TestListing.h"

#include "listing/ListingProgress.h"
#include "listing/PdfRenderer.h"
#include "listing/SaveCancelled.h"
#include "platform/InputFile.h"
#include "platform/IoError.h"
#include "platform/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace zintrel::test {
namespace {

using Lines = std::vector<std::string>;

// A save of tree/top with a one-file tree and the user's answer in ui.
class ListingRunTest : public ::testing::Test {
protected:
    ListingRunTest()
    {
        tree.mkdirp("top");
        tree.mkdirp("out");
        tree.touch("top/a.txt", 100);
        folder = tree.path("top");
        options.showDateTime = false;
    }

    SaveOutcome save(const SaveEnvironment& environment = testEnvironment())
    {
        return run.save(options, folder, environment, ui, &result);
    }

    void choose(const std::string& name, OutputType type = OutputType::Text) { ui.choice = TargetChoice{name, type}; }

    TempTree tree;
    std::string folder;
    ListingOptions options = startOptions();
    FakeUi ui;
    ListingRun run;
    SaveResult result;
};

TEST_F(ListingRunTest, TextSaveCompletesTheNameWritesAndOpensIt)
{
    struct Case {
        std::string chosen;
        std::string written;
        bool open;
    } cases[] = {
        {"list", "list.txt", true},
        {"LIST.TXT", "LIST.TXT", true},
        {"list.pdf", "list.pdf.txt", false},
    };
    for (const Case& c : cases) {
        ui = FakeUi{};
        options.openAfterCreation = c.open;
        choose(tree.path("out/" + c.chosen));
        ASSERT_EQ(save(), SaveOutcome::Saved) << c.chosen;
        const std::string target = tree.path("out/" + c.written);
        EXPECT_EQ(ui.shownTargets, Lines{target});
        EXPECT_EQ(ui.opened, c.open ? Lines{target} : Lines{}) << c.chosen;
        Lines entries = entryLines(listingLines(readFile(target)));
        EXPECT_EQ(entries, Lines{" a.txt  1 Kb  A  " + folder + "/a.txt  1  "}) << c.chosen;
    }
    EXPECT_EQ(folderNames(tree.path("out")), (Lines{"LIST.TXT", "list.pdf.txt", "list.txt"}));
}

TEST_F(ListingRunTest, OpenActionGetsTheWholeOfALongName)
{
    std::string deep = "out/" + std::string(200, 'f') + "/" + std::string(200, 'g');
    tree.mkdirp(deep);
    const std::string chosen = tree.path(deep + "/" + std::string(200, 'n'));
    choose(chosen);
    ASSERT_EQ(save(), SaveOutcome::Saved) << (ui.errors.empty() ? "" : ui.errors[0]);
    ASSERT_EQ(ui.opened.size(), 1u);
    EXPECT_EQ(ui.opened[0], chosen + ".txt");
    EXPECT_GT(ui.opened[0].size(), 600u);
    EXPECT_FALSE(readFile(ui.opened[0]).empty());
}

TEST_F(ListingRunTest, TargetNamesUpToTheFileSystemLimitAreSaved)
{
    for (std::size_t length : {240, 245, 250, 255}) {
        ui = FakeUi{};
        const std::string name = std::string(length - 4, 'n') + ".txt";
        const std::string target = tree.path("out/" + name);
        writeFile(target, "old"); // replacing an existing file as well
        choose(target);
        EXPECT_EQ(save(), SaveOutcome::Saved) << length << " bytes: " << (ui.errors.empty() ? "" : ui.errors[0]);
        EXPECT_NE(readFile(target), "old") << length << " bytes";
        EXPECT_EQ(folderNames(tree.path("out")), Lines{name}) << length << " bytes";
        std::remove(target.c_str());
    }
}

TEST_F(ListingRunTest, CompletedNameOfAnExistingFileIsReplacedOnlyWhenConfirmed)
{
    const std::string existing = tree.path("out/list.txt");
    writeFile(existing, "keep me");

    ui.replaceAnswer = false;
    choose(tree.path("out/list"));
    EXPECT_EQ(save(), SaveOutcome::Stopped);
    EXPECT_EQ(ui.confirmAsked, Lines{existing});
    EXPECT_EQ(readFile(existing), "keep me");
    EXPECT_EQ(folderNames(tree.path("out")), Lines{"list.txt"});

    ui = FakeUi{};
    ui.replaceAnswer = true;
    choose(tree.path("out/list"));
    EXPECT_EQ(save(), SaveOutcome::Saved);
    EXPECT_EQ(ui.confirmAsked, Lines{existing});
    EXPECT_NE(readFile(existing), "keep me");

    // The dialog itself asked about a name that needs no completion.
    ui = FakeUi{};
    choose(existing);
    EXPECT_EQ(save(), SaveOutcome::Saved);
    EXPECT_TRUE(ui.confirmAsked.empty());
}

// Renders by copying the listing, after checking where it lies.
class FakeRenderer : public PdfRenderer {
public:
    std::string listingFolder;
    bool fail = false;
    int calls = 0;
    std::string listingSeen; // without the bidi isolates around names
    std::string listingRaw;

    void render(const InputFile& listing, OutputFile& output, const ListingOptions&, const RenderHooks& hooks) override
    {
        ++calls;
        // The listing has no name of its own in the temporary folder; its failures name the PDF.
        EXPECT_TRUE(folderNames(listingFolder).empty()) << "the intermediate listing has a name";
        EXPECT_TRUE(listing.displayPath().ends_with(".pdf")) << listing.displayPath();
        listingRaw.assign(listing.size(), '\0');
        EXPECT_EQ(listing.readAt(0, listingRaw.data(), listingRaw.size()), listingRaw.size());
        listingSeen = listingRaw;
        for (std::string_view mark : {kIsolateStart, kIsolateEnd}) {
            for (auto at = listingSeen.find(mark); at != std::string::npos; at = listingSeen.find(mark))
                listingSeen.erase(at, mark.size());
        }
        output.write("%PDF-fake\n" + listingSeen);
        hooks.notice("font notice");
        if (fail)
            throw std::runtime_error("renderer broke");
    }
};

TEST_F(ListingRunTest, PdfSaveRendersFromATemporaryListingAndRemovesIt)
{
    tree.mkdirp("tmp");
    FakeRenderer renderer;
    renderer.listingFolder = tree.path("tmp");
    SaveEnvironment environment = testEnvironment();
    environment.pdfRenderer = &renderer;
    environment.temporaryFolder = tree.path("tmp");
    choose(tree.path("out/list.txt"), OutputType::Pdf);

    ASSERT_EQ(save(environment), SaveOutcome::Saved);
    const std::string target = tree.path("out/list.txt.pdf");
    EXPECT_EQ(renderer.calls, 1);
    Lines lines = listingLines(renderer.listingSeen);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1], "Processed: " + folder);
    EXPECT_EQ(lines[5], " a.txt  1 Kb  A  " + folder + "/a.txt  1  ");
    // Names and paths with right-to-left text reach the drawing in bidi isolates, each in
    // its own direction; the others as they are.
    EXPECT_NE(renderer.listingRaw.find(" a.txt  1 Kb  A  " + folder + "/a.txt  1  \r\n"), std::string::npos);
    EXPECT_EQ(readFile(target), "%PDF-fake\n" + renderer.listingSeen);
    EXPECT_EQ(ui.messages, Lines{"font notice"});
    EXPECT_EQ(ui.opened, Lines{target});
    EXPECT_TRUE(folderNames(tree.path("tmp")).empty()) << "the intermediate listing is left behind";
    EXPECT_EQ(folderNames(tree.path("out")), Lines{"list.txt.pdf"});
    EXPECT_EQ(folderNames(folder), Lines{"a.txt"});
}

TEST_F(ListingRunTest, FailingPdfRendererLeavesNoFileAndOpensNothing)
{
    tree.mkdirp("tmp");
    const std::string target = tree.path("out/list.pdf");
    writeFile(target, "old pdf");
    FakeRenderer renderer;
    renderer.listingFolder = tree.path("tmp");
    renderer.fail = true;
    SaveEnvironment environment = testEnvironment();
    environment.pdfRenderer = &renderer;
    environment.temporaryFolder = tree.path("tmp");
    choose(target, OutputType::Pdf);

    EXPECT_EQ(save(environment), SaveOutcome::Failed);
    EXPECT_EQ(ui.errors, Lines{"renderer broke"});
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_EQ(readFile(target), "old pdf");
    EXPECT_EQ(folderNames(tree.path("out")), Lines{"list.pdf"});
    EXPECT_TRUE(folderNames(tree.path("tmp")).empty());
}

// Saves that the checks or the user stop, and a PDF save without a renderer: nothing written.
TEST_F(ListingRunTest, RefusedSavesWriteNothing)
{
    const std::string sizeMessage
        = "The \"Size\" filter is not correct. Go to \"Settings -> Filters -> Specify Size\" !";
    const std::string passwordMessage = "Passwords do not match or not entered. Save operation aborted.";
    FakeRenderer renderer;
    struct Case {
        const char* what;
        std::function<void(ListingOptions&)> set;
        std::optional<TargetChoice> choice;
        bool withRenderer;
        SaveOutcome outcome;
        int dialogs;
        Lines messages;
        Lines errors;
    } cases[] = {
        {"size filter without mode",
         [](ListingOptions& o) {
             o.sizeFilterEnabled = true;
             o.sizeFilterMode = SizeFilterMode::None;
         },
         TargetChoice{tree.path("out/list")},
         true,
         SaveOutcome::Stopped,
         0,
         {sizeMessage},
         {}},
        {"dialog cancelled", [](ListingOptions&) {}, std::nullopt, true, SaveOutcome::Stopped, 1, {}, {}},
        {"mismatched passwords",
         [](ListingOptions& o) {
             o.pdfSecurity = true;
             o.pdfPassword = "secret";
             o.pdfPasswordConfirm = "secrte";
         },
         TargetChoice{tree.path("out/list"), OutputType::Pdf},
         true,
         SaveOutcome::Stopped,
         1,
         {passwordMessage},
         {}},
        {"no password",
         [](ListingOptions& o) { o.pdfSecurity = true; },
         TargetChoice{tree.path("out/list"), OutputType::Pdf},
         true,
         SaveOutcome::Stopped,
         1,
         {passwordMessage},
         {}},
        {"password beyond what AES-256 reads",
         [](ListingOptions& o) {
             o.pdfSecurity = true;
             o.pdfPassword = o.pdfPasswordConfirm = std::string(128, 'p');
         },
         TargetChoice{tree.path("out/list"), OutputType::Pdf},
         true,
         SaveOutcome::Stopped,
         1,
         {"The password is too long for a PDF (at most 127 bytes). Save operation aborted."},
         {}},
        {"no renderer",
         [](ListingOptions&) {},
         TargetChoice{tree.path("out/list"), OutputType::Pdf},
         false,
         SaveOutcome::Failed,
         1,
         {},
         {"PDF output is not available in this build."}},
    };
    for (const Case& c : cases) {
        ui = FakeUi{};
        ui.choice = c.choice;
        options = startOptions();
        c.set(options);
        SaveEnvironment environment = testEnvironment();
        environment.pdfRenderer = c.withRenderer ? &renderer : nullptr;
        environment.temporaryFolder = tree.path("out");
        EXPECT_EQ(save(environment), c.outcome) << c.what;
        EXPECT_EQ(ui.chooseCalls, c.dialogs) << c.what;
        EXPECT_EQ(ui.messages, c.messages) << c.what;
        EXPECT_EQ(ui.errors, c.errors) << c.what;
        EXPECT_TRUE(ui.opened.empty()) << c.what;
        EXPECT_TRUE(folderNames(tree.path("out")).empty()) << c.what;
    }
    EXPECT_EQ(renderer.calls, 0);
    EXPECT_EQ(folderNames(folder), Lines{"a.txt"});
    // Passwords that differ do not matter to a text listing, nor a missing size mode to a filter that is off.
    options.sizeFilterMode = SizeFilterMode::None;
    options.pdfSecurity = true;
    choose(tree.path("out/list"));
    EXPECT_EQ(save(), SaveOutcome::Saved);
}

// Mounts a tmpfs of a few pages for a test; unmounts when it goes.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& where)
        : m_where(where)
    {
        m_ok = ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallFileSystem()
    {
        if (m_ok)
            ::umount2(m_where.c_str(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }

private:
    std::string m_where;
    bool m_ok;
};

TEST_F(ListingRunTest, FailingWriteKeepsTheExistingTarget)
{
    const std::string target = tree.path("out/list.txt");
    SmallFileSystem small(tree.path("out"));
    std::string expectedError;
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (small.ok()) {
        writeFile(target, "the old listing");
        // Fill what is left of the file system.
        int fd = ::open(tree.path("out/filler").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        std::string block(4096, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {}
        ::close(fd);
        expectedError = "Disk full";
    } else {
        // No right to mount: a file size limit makes the write fail instead.
        writeFile(target, "the old listing");
        rlimit low = oldLimit;
        low.rlim_cur = 200;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
        expectedError = errorText(EFBIG);
    }
    std::vector<std::string> before = folderNames(tree.path("out"));

    choose(target);
    SaveOutcome outcome = save();
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(outcome, SaveOutcome::Failed);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].substr(0, ui.errors[0].find('\n')), expectedError);
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_EQ(readFile(target), "the old listing");
    EXPECT_EQ(folderNames(tree.path("out")), before) << "a temporary file is left beside the target";
}

TEST_F(ListingRunTest, SaveIntoTheListedFolderDoesNotListItsOwnFiles)
{
    tree.mkdirp("top/tmp");
    FakeRenderer renderer;
    renderer.listingFolder = tree.path("top/tmp");
    SaveEnvironment environment = testEnvironment();
    environment.pdfRenderer = &renderer;
    environment.temporaryFolder = tree.path("top/tmp");
    options.showSize = options.showAttributes = options.showPath = options.showLevel = false;

    struct Case {
        std::string chosen;
        OutputType type;
        std::string written;
    } cases[] = {
        {folder + "/list", OutputType::Text, folder + "/list.txt"},
        {folder + "/list", OutputType::Pdf, folder + "/list.pdf"},
    };
    for (const Case& c : cases) {
        ui = FakeUi{};
        choose(c.chosen, c.type);
        ASSERT_EQ(save(environment), SaveOutcome::Saved);
        std::string listing = c.type == OutputType::Text ? readFile(c.written) : renderer.listingSeen;
        Lines entries = entryLines(listingLines(listing));
        std::sort(entries.begin(), entries.end());
        EXPECT_EQ(entries, (Lines{" a.txt  ", " tmp  "})) << c.written;
        std::remove(c.written.c_str());
    }
}

TEST_F(ListingRunTest, TargetWithoutWriteRightIsRefused)
{
    ::chmod(tree.root().c_str(), 0755);
    tree.mkdirp("shared");
    tree.mkdirp("closed");
    tree.chmod("shared", 0777);
    tree.chmod("closed", 0555);
    writeFile(tree.path("shared/protected.txt"), "keep");
    tree.chmod("shared/protected.txt", 0444);
    struct Case {
        const char* what;
        std::string target;
        std::string folder;
        Lines namesAfter;
    } cases[] = {
        {"a read-only file", tree.path("shared/protected.txt"), "shared", {"protected.txt"}},
        {"a folder without write right", tree.path("closed/new.txt"), "closed", {}},
    };
    for (const Case& c : cases) {
        std::optional<std::string> error = runUnprivileged([&] {
            FakeUi user;
            user.choice = TargetChoice{c.target, OutputType::Text};
            ListingRun unprivileged;
            unprivileged.save(options, folder, testEnvironment(), user);
            return user.errors.empty() ? std::string("(no error)") : user.errors[0];
        });
        ASSERT_TRUE(error.has_value()) << c.what;
        EXPECT_EQ(error->substr(0, error->find('\n')), "File access denied") << c.what;
        EXPECT_EQ(folderNames(tree.path(c.folder)), c.namesAfter) << c.what;
    }
    EXPECT_EQ(readFile(tree.path("shared/protected.txt")), "keep");
}

TEST_F(ListingRunTest, EverySaveStartsItsCountersAtZero)
{
    tree.mkdirp("top/sub");
    tree.touch("top/sub/b.txt", 3000);
    choose(tree.path("out/list"));
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(save(), SaveOutcome::Saved);
        EXPECT_EQ(result.folders, 1);
        EXPECT_EQ(result.files, 2);
        EXPECT_EQ(result.totalSizeKb, 1 + 1 + 4);
        Lines lines = listingLines(readFile(tree.path("out/list.txt")));
        EXPECT_EQ(lines.back(), "Total size: 6 Kb");
    }
}

class Recorder : public ListingProgress {
public:
    Lines folders;
    void folderEntered(const std::string& path, std::int64_t, std::int64_t) override
    {
        folders.push_back(path.ends_with('/') ? path.substr(0, path.size() - 1) : path);
    }
};

TEST_F(ListingRunTest, CancelledWalkLeavesNoFile)
{
    const std::string target = tree.path("out/list.txt");
    writeFile(target, "previous");
    SavePlan plan;
    plan.folder = folder;
    plan.target = target;
    plan.options = options;
    std::atomic<bool> cancel{true};
    Recorder progress;
    EXPECT_THROW(run.execute(plan, testEnvironment(), ui, &progress, &cancel), SaveCancelled);
    EXPECT_EQ(readFile(target), "previous");
    EXPECT_EQ(folderNames(tree.path("out")), Lines{"list.txt"});
}

TEST_F(ListingRunTest, FoldersThatFailTheFiltersAreStillWalked)
{
    tree.mkdirp("top/sub/deeper");
    tree.touch("top/sub/deeper/c.txt", 1, localTime(2001, 1, 1));
    tree.setTime("top/sub/deeper", localTime(2001, 1, 1));
    tree.setTime("top/sub", localTime(2001, 1, 1));
    SavePlan plan;
    plan.folder = folder;
    plan.target = tree.path("out/list.txt");
    plan.options = options;
    plan.options.dateFilterEnabled = true;
    plan.options.dateFrom = LocalDateTime{2024, 2, 1};
    plan.options.dateTo = LocalDateTime{2024, 1, 1};
    Recorder progress;
    SaveResult done = run.execute(plan, testEnvironment(), ui, &progress);
    EXPECT_EQ(done.folders + done.files, 0);
    std::sort(progress.folders.begin(), progress.folders.end());
    EXPECT_EQ(progress.folders, (Lines{folder, folder + "/sub", folder + "/sub/deeper"}));
}

} // namespace
} // namespace zintrel::test
