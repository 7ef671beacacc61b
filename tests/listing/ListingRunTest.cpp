#include "TempTree.h"
#include "TestListing.h"

#include "listing/ListingOutput.h"
#include "listing/ListingProgress.h"
#include "listing/TextListing.h"
#include "platform/CancelToken.h"
#include "platform/InputFile.h"
#include "platform/IoError.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <stdexcept>
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
        return ListingRun::save(options, folder, environment, ui, &result);
    }

    void choose(const std::string& name, OutputType type = OutputType::Text) { ui.choice = TargetChoice{name, type}; }

    TempTree tree;
    std::string folder;
    ListingOptions options = startOptions();
    ScriptedUi ui;
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
        ui = ScriptedUi{};
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
        ui = ScriptedUi{};
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

    ui = ScriptedUi{};
    ui.replaceAnswer = true;
    choose(tree.path("out/list"));
    EXPECT_EQ(save(), SaveOutcome::Saved);
    EXPECT_EQ(ui.confirmAsked, Lines{existing});
    EXPECT_NE(readFile(existing), "keep me");

    // The dialog itself asked about a name that needs no completion.
    ui = ScriptedUi{};
    choose(existing);
    EXPECT_EQ(save(), SaveOutcome::Saved);
    EXPECT_TRUE(ui.confirmAsked.empty());
}

// What a fake PDF output saw and was told.
struct FakePdf {
    std::string listingFolder;
    bool fail = false;
    int calls = 0;
    std::string listing; // the text it would draw
    Lines events;        // what the save told it, in order
};

// Writes the text listing to a temporary file of its own, as the PDF output does, and puts
// it into the target behind a mark of its own; records the events it is given.
class FakePdfOutput : public ListingOutput {
public:
    FakePdfOutput(const OutputSetup& setup, FakePdf& record)
        : m_setup(setup)
        , m_record(record)
        , m_file(setup.scratchFolder, "fake-", ".txt", setup.target)
        , m_fileOut(m_file.fd(), setup.target)
        , m_text(setup.options, m_fileOut, setup.dateTimeFormat)
    {
        m_setup.ownFile(m_file.fd());
    }

    void begin(const std::string& folder, std::time_t now) override
    {
        m_record.events.push_back("begin " + folder);
        m_text.begin(folder, now);
    }
    void folderEntered(std::string_view path, int level, bool listed) override
    {
        m_record.events.push_back("enter " + std::string(path) + " " + std::to_string(level)
                                  + (listed ? " listed" : ""));
        m_text.folderEntered(path, level, listed);
    }
    void folderLeft() override
    {
        m_record.events.push_back("leave");
        m_text.folderLeft();
    }
    void entry(const ListedEntry& entry) override
    {
        m_record.events.push_back(std::string(entry.folder) + std::string(entry.name) + " "
                                  + std::to_string(entry.level) + (entry.descends ? " descends" : ""));
        m_text.entry(entry);
    }
    void finish(const ListingTotals& totals) override
    {
        m_text.finish(totals);
        m_fileOut.flush();
        // The listing has no name of its own in the temporary folder; its failures name the PDF.
        EXPECT_TRUE(folderNames(m_record.listingFolder).empty()) << "the intermediate listing has a name";
        InputFile in(m_file.fd(), m_setup.target);
        m_record.listing.assign(in.size(), '\0');
        EXPECT_EQ(in.readAt(0, m_record.listing.data(), m_record.listing.size()), m_record.listing.size());
        m_record.events.push_back("finish " + std::to_string(totals.folders) + " " + std::to_string(totals.files) + " "
                                  + std::to_string(totals.totalSizeKb));
        m_setup.out.write("%PDF-fake\n" + m_record.listing);
        m_setup.notice("font notice");
        if (m_record.fail)
            throw std::runtime_error("renderer broke");
    }

private:
    OutputSetup m_setup;
    FakePdf& m_record;
    TempFile m_file;
    OutputFile m_fileOut;
    TextListing m_text;
};

class FakePdfMaker : public OutputMaker {
public:
    explicit FakePdfMaker(FakePdf& record)
        : m_record(record)
    {
    }
    std::unique_ptr<ListingOutput> make(const OutputSetup& setup) const override
    {
        ++m_record.calls;
        return std::make_unique<FakePdfOutput>(setup, m_record);
    }

private:
    FakePdf& m_record;
};

TEST_F(ListingRunTest, AnOutputOfAnotherLibraryWritesTheTargetAndItsOwnFilesGo)
{
    tree.mkdirp("tmp");
    FakePdf renderer;
    renderer.listingFolder = tree.path("tmp");
    FakePdfMaker maker(renderer);
    SaveEnvironment environment = testEnvironment();
    environment.pdfOutput = &maker;
    environment.temporaryFolder = tree.path("tmp");
    choose(tree.path("out/list.txt"), OutputType::Pdf);

    ASSERT_EQ(save(environment), SaveOutcome::Saved);
    const std::string target = tree.path("out/list.txt.pdf");
    EXPECT_EQ(renderer.calls, 1);
    Lines lines = listingLines(renderer.listing);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1], "Processed: " + folder);
    EXPECT_EQ(lines[5], " a.txt  1 Kb  A  " + folder + "/a.txt  1  ");
    EXPECT_EQ(renderer.events,
              (Lines{"begin " + folder, "enter " + folder + "/ 1", folder + "/a.txt 1", "leave", "finish 0 1 1"}));
    EXPECT_EQ(readFile(target), "%PDF-fake\n" + renderer.listing);
    EXPECT_EQ(ui.messages, Lines{"font notice"});
    EXPECT_EQ(ui.opened, Lines{target});
    EXPECT_TRUE(folderNames(tree.path("tmp")).empty()) << "the intermediate listing is left behind";
    EXPECT_EQ(folderNames(tree.path("out")), Lines{"list.txt.pdf"});
    EXPECT_EQ(folderNames(folder), Lines{"a.txt"});
}

TEST_F(ListingRunTest, AFailingOutputLeavesNoFileAndOpensNothing)
{
    tree.mkdirp("tmp");
    const std::string target = tree.path("out/list.pdf");
    writeFile(target, "old pdf");
    FakePdf renderer;
    renderer.listingFolder = tree.path("tmp");
    renderer.fail = true;
    FakePdfMaker maker(renderer);
    SaveEnvironment environment = testEnvironment();
    environment.pdfOutput = &maker;
    environment.temporaryFolder = tree.path("tmp");
    choose(target, OutputType::Pdf);

    EXPECT_EQ(save(environment), SaveOutcome::Failed);
    EXPECT_EQ(ui.errors, Lines{"renderer broke"});
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_EQ(readFile(target), "old pdf");
    EXPECT_EQ(folderNames(tree.path("out")), Lines{"list.pdf"});
    EXPECT_TRUE(folderNames(tree.path("tmp")).empty());
}

// The output is told every folder the walk goes into, whether or not its own line was
// listed, which listed folders it goes into next, and where each entry lies.
TEST_F(ListingRunTest, TheOutputIsToldTheFoldersTheWalkEntersAndLeaves)
{
    tree.mkdirp("top/sub/deeper");
    tree.touch("top/sub/b.txt", 10);
    tree.touch("top/sub/deeper/c.dat", 10);
    tree.mkdirp("tmp");
    const std::string top = folder + "/";
    struct Case {
        const char* what;
        std::function<void(ListingOptions&)> set;
        Lines events;
    } cases[] = {
        {"every line listed",
         [](ListingOptions&) {},
         {"begin " + folder, "enter " + top + " 1", top + "a.txt 1", top + "sub 1 descends",
          "enter " + top + "sub/ 2 listed", top + "sub/b.txt 2", top + "sub/deeper 2 descends",
          "enter " + top + "sub/deeper/ 3 listed", top + "sub/deeper/c.dat 3", "leave", "leave", "leave",
          "finish 2 3 5"}},
        {"a mask leaves the folders' lines out, not the folders",
         [](ListingOptions& o) { o.fileMask = "*.dat"; },
         {"begin " + folder, "enter " + top + " 1", "enter " + top + "sub/ 2", "enter " + top + "sub/deeper/ 3",
          top + "sub/deeper/c.dat 3", "leave", "leave", "leave", "finish 0 1 1"}},
        {"without subfolders no folder is entered",
         [](ListingOptions& o) { o.includeSubfolders = false; },
         {"begin " + folder, "enter " + top + " 1", top + "a.txt 1", top + "sub 1", "leave", "finish 1 1 2"}},
    };
    for (const Case& c : cases) {
        FakePdf renderer;
        renderer.listingFolder = tree.path("tmp");
        FakePdfMaker maker(renderer);
        SaveEnvironment environment = testEnvironment();
        environment.pdfOutput = &maker;
        environment.temporaryFolder = tree.path("tmp");
        options = startOptions();
        c.set(options);
        ui = ScriptedUi{};
        choose(tree.path("out/list.pdf"), OutputType::Pdf);
        ASSERT_EQ(save(environment), SaveOutcome::Saved) << c.what;
        EXPECT_TRUE(sameLines(renderer.events, c.events)) << c.what;
    }
}

// Saves that the checks or the user stop, and a PDF save without a renderer: nothing written.
TEST_F(ListingRunTest, RefusedSavesWriteNothing)
{
    const std::string sizeMessage
        = "The \"Size\" filter is not correct. Go to \"Settings -> Filters -> Specify Size\" !";
    const std::string passwordMessage = "Passwords do not match or not entered. Save operation aborted.";
    FakePdf renderer;
    renderer.listingFolder = tree.path("out");
    FakePdfMaker maker(renderer);
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
        ui = ScriptedUi{};
        ui.choice = c.choice;
        options = startOptions();
        c.set(options);
        SaveEnvironment environment = testEnvironment();
        environment.pdfOutput = c.withRenderer ? &maker : nullptr;
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

TEST_F(ListingRunTest, FailingWriteKeepsTheExistingTarget)
{
    const std::string target = tree.path("out/list.txt");
    ScopedMount small("tmpfs", tree.path("out"), "size=64k");
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
    FakePdf renderer;
    renderer.listingFolder = tree.path("top/tmp");
    FakePdfMaker maker(renderer);
    SaveEnvironment environment = testEnvironment();
    environment.pdfOutput = &maker;
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
        ui = ScriptedUi{};
        choose(c.chosen, c.type);
        ASSERT_EQ(save(environment), SaveOutcome::Saved);
        std::string listing = c.type == OutputType::Text ? readFile(c.written) : renderer.listing;
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
            ScriptedUi user;
            user.choice = TargetChoice{c.target, OutputType::Text};
            ListingRun::save(options, folder, testEnvironment(), user);
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
    CancelToken cancel;
    cancel.cancel();
    Recorder progress;
    EXPECT_THROW(ListingRun::execute(plan, testEnvironment(), ui, &progress, cancel), SaveCancelled);
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
    SaveResult done = ListingRun::execute(plan, testEnvironment(), ui, &progress);
    EXPECT_EQ(done.folders + done.files, 0);
    std::sort(progress.folders.begin(), progress.folders.end());
    EXPECT_EQ(progress.folders, (Lines{folder, folder + "/sub", folder + "/sub/deeper"}));
}

} // namespace
} // namespace zintrel::test
