#include "TempTree.h"
#include "TestListing.h"
#include "listing/NameOrder.h"

#include "listing/EntryFilter.h"
#include "listing/FolderWalk.h"
#include "platform/IoError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <list>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zintrel::test {
namespace {

using Lines = std::vector<std::string>;

// Name, attributes and level, one blank apart: short lines that still show the tree.
ListingOptions compactOptions()
{
    ListingOptions options = startOptions();
    options.showSize = options.showDateTime = options.showPath = false;
    options.fieldSpacing = 1;
    return options;
}

TEST(FolderWalk, WorkedExampleByteForByte)
{
    TempTree tree;
    tree.mkdirp("Docs/Letters");
    tree.touch("Docs/Letters/notes.txt", 1500, localTime(2003, 6, 18, 11, 48, 30));
    tree.setTime("Docs/Letters", localTime(2003, 6, 18, 9, 15, 0));
    const std::string docs = tree.path("Docs");
    const std::string target = tree.path("list.txt");

    SavePlan plan;
    plan.folder = docs;
    plan.target = target;
    plan.options = startOptions();
    ScriptedUi ui;
    ListingRun run;
    SaveResult result = run.execute(plan, testEnvironment(localTime(2024, 12, 31, 23, 5, 1)), ui);

    const std::string notesLine = "   notes.txt  2 Kb  A  18.06.2003 11:48:30  " + docs + "/Letters/notes.txt  2  ";
    EXPECT_EQ(notesLine.size(), 74 - 25 + docs.size() + 18);
    const std::string stars(89, '*');
    const Lines expected = {
        "31.12.2024 23:05:01",
        "Processed: " + docs,
        "Exclude attributes:    Attributes:",
        "Columns:  Name, Size, Attributes, Date and Time, Path, Level, ",
        stars,
        " Letters  0 Kb  D  18.06.2003 09:15:00  " + docs + "/Letters  1  ",
        notesLine,
        stars,
        "Folders:    1",
        "Files:      1",
        "Total size: 3 Kb",
    };
    std::string joined;
    for (const std::string& line : expected)
        joined += line + "\r\n";
    std::string content = readFile(target);
    EXPECT_TRUE(sameLines(listingLines(content), expected));
    EXPECT_EQ(content, joined);
    EXPECT_EQ(result.folders, 1);
    EXPECT_EQ(result.files, 1);
    EXPECT_EQ(result.totalSizeKb, 3);
}

// How the columns look is ListingLineWriter's; here: where the walk starts and how far it goes.
TEST(FolderWalk, DefaultListingFinalSlashAndSubfoldersOff)
{
    TempTree tree;
    tree.mkdirp("top/a/b");
    tree.touch("top/a/b/c.txt", 1500, localTime(2003, 6, 18, 11, 48, 30));
    tree.setTime("top/a/b", localTime(2003, 6, 18));
    tree.setTime("top/a", localTime(2003, 6, 19));
    const std::string p = tree.path("top");

    struct Case {
        const char* what;
        std::string folderSuffix;
        std::function<void(ListingOptions&)> set;
        Lines expected;
    } cases[] = {
        {"defaults; a folder at midnight shows its date alone",
         "",
         [](ListingOptions&) {},
         {" a  0 Kb  D  19.06.2003  " + p + "/a  1  ", "   b  0 Kb  D  18.06.2003  " + p + "/a/b  2  ",
          "      c.txt  2 Kb  A  18.06.2003 11:48:30  " + p + "/a/b/c.txt  3  "}},
        {"folder given with its final slash",
         "/",
         [](ListingOptions& o) { o.showName = o.showSize = o.showAttributes = o.showDateTime = o.showLevel = false; },
         {" " + p + "/a  ", "   " + p + "/a/b  ", "      " + p + "/a/b/c.txt  "}},
        {"subfolders off",
         "",
         [](ListingOptions& o) { o.includeSubfolders = false; },
         {" a  0 Kb  D  19.06.2003  " + p + "/a  1  "}},
    };
    for (const Case& c : cases) {
        ListingOptions options = startOptions();
        c.set(options);
        Listing listing = makeListing(p + c.folderSuffix, options, tree.path("out.txt"));
        EXPECT_TRUE(sameLines(listing.entries, c.expected)) << c.what;
    }
}

TEST(FolderWalk, AttributeExclusions)
{
    TempTree tree;
    tree.mkdirp("top/.hd");
    tree.mkdirp("top/sub");
    tree.mkdirp("top/rodir");
    tree.touch("top/a.txt", 10);
    tree.touch("top/ro.txt", 10);
    tree.touch("top/.h.txt", 10);
    tree.touch("top/.hd/in.txt", 10);
    tree.touch("top/sub/s.txt", 10);
    tree.touch("top/rodir/r.txt", 10);
    tree.mkfifo("top/fifo");
    tree.chmod("top/ro.txt", 0444);
    tree.chmod("top/rodir", 0555);

    const std::string A = " a.txt A 1 ", RO = " ro.txt RA 1 ", H = " .h.txt HA 1 ", HD = " .hd HD 1 ",
                      IN = "   in.txt A 2 ", SUB = " sub D 1 ", S = "   s.txt A 2 ", F = " fifo S 1 ",
                      RD = " rodir RD 1 ", R = "   r.txt A 2 ";
    struct Case {
        const char* what;
        std::function<void(ListingOptions&)> set;
        Lines expected;
    } cases[] = {
        {"nothing excluded: read-only entries are listed",
         [](ListingOptions&) {},
         {A, RO, H, HD, IN, SUB, S, F, RD, R}},
        {"read only", [](ListingOptions& o) { o.excludeReadOnly = true; }, {A, H, HD, IN, SUB, S, F}},
        {"hidden: hidden folders are not entered",
         [](ListingOptions& o) { o.excludeHidden = true; },
         {A, RO, SUB, S, F, RD, R}},
        {"system", [](ListingOptions& o) { o.excludeSystem = true; }, {A, RO, H, HD, IN, SUB, S, RD, R}},
        {"volume id", [](ListingOptions& o) { o.excludeVolumeId = true; }, {A, RO, H, HD, IN, SUB, S, F, RD, R}},
        {"directory: no folder listed or entered", [](ListingOptions& o) { o.excludeDirectory = true; }, {A, RO, H, F}},
        {"archive", [](ListingOptions& o) { o.excludeArchive = true; }, {HD, SUB, F, RD}},
        {"any file: folders only", [](ListingOptions& o) { o.excludeAnyFile = true; }, {HD, SUB, RD}},
        {"any file and hidden", [](ListingOptions& o) { o.excludeAnyFile = o.excludeHidden = true; }, {SUB, RD}},
        {"any file and directory: nothing",
         [](ListingOptions& o) { o.excludeAnyFile = o.excludeDirectory = true; },
         {}},
        {"subfolders off", [](ListingOptions& o) { o.includeSubfolders = false; }, {A, RO, H, HD, SUB, F, RD}},
    };
    for (const Case& c : cases) {
        ListingOptions options = compactOptions();
        c.set(options);
        Listing listing = sortedListing(tree.path("top"), options, tree.path("out.txt"));
        EXPECT_TRUE(sameLines(listing.entries, sorted(c.expected))) << c.what;
        auto folders = std::count_if(c.expected.begin(), c.expected.end(),
                                     [](const std::string& line) { return line.find("D ") != std::string::npos; });
        EXPECT_EQ(listing.result.folders, folders) << c.what;
        EXPECT_EQ(listing.result.totalSizeKb, static_cast<std::int64_t>(c.expected.size())) << c.what;
    }
}

// Which entries pass is EntryFilter's; here: a folder that fails gets no line and is not
// counted, yet everything below it is still walked and judged on its own.
TEST(FolderWalk, FoldersFailingAFilterAreStillWalked)
{
    const std::time_t day = localTime(2024, 3, 10, 12);
    const std::time_t longAgo = localTime(2001, 1, 1);
    TempTree tree;
    tree.mkdirp("top/sub/deeper");
    tree.touch("top/c.txt", 2000, day);
    tree.touch("top/sub/a.txt", 2000, day);
    tree.touch("top/sub/small.dat", 10, longAgo);
    tree.touch("top/sub/deeper/b.txt", 3000, day);
    tree.setTime("top/sub/deeper", longAgo);
    tree.setTime("top/sub", longAgo);

    const std::string C = " c.txt A 1 ", SUB = " sub D 1 ", A = "   a.txt A 2 ", SMALL = "   small.dat A 2 ",
                      DEEPER = "   deeper D 2 ", B = "      b.txt A 3 ";
    struct Case {
        const char* what;
        std::function<void(ListingOptions&)> set;
        Lines expected;
        std::int64_t folders;
        std::int64_t totalSizeKb;
    } cases[] = {
        {"no filter", [](ListingOptions&) {}, {C, SUB, A, SMALL, DEEPER, B}, 2, 13},
        {"size: folders count as 1 Kb",
         [](ListingOptions& o) {
             o.sizeFilterEnabled = true;
             o.sizeFilterMode = SizeFilterMode::AtLeast;
             o.sizeFilterKb = 2;
         },
         {C, A, B},
         0,
         10},
        {"date: the folders are older",
         [](ListingOptions& o) {
             o.dateFilterEnabled = true;
             o.dateFrom = o.dateTo = LocalDateTime{2024, 3, 10};
         },
         {C, A, B},
         0,
         10},
        {"mask: no folder passes one", [](ListingOptions& o) { o.fileMask = "*.txt"; }, {C, A, B}, 0, 10},
    };
    for (const Case& c : cases) {
        ListingOptions options = compactOptions();
        c.set(options);
        Listing listing = sortedListing(tree.path("top"), options, tree.path("out.txt"));
        EXPECT_TRUE(sameLines(listing.entries, sorted(c.expected))) << c.what;
        EXPECT_EQ(listing.result.folders, c.folders) << c.what;
        EXPECT_EQ(listing.result.totalSizeKb, c.totalSizeKb) << c.what;
    }
}

TEST(FolderWalk, SizesAndTotalsBeyond32Bits)
{
    TempTree tree;
    tree.mkdirp("top");
    const long long huge = (3LL << 40) + 1536; // sparse
    tree.touch("top/huge", huge);
    if (::truncate(tree.path("top/huge").c_str(), huge) != 0)
        GTEST_SKIP() << "the file system takes no file of 3 TiB";
    ListingOptions options = startOptions();
    options.showAttributes = options.showDateTime = options.showPath = options.showLevel = false;
    options.sizeFilterEnabled = true;
    options.sizeFilterKb = 3221225474; // one below the 3221225475 Kb the line shows
    Listing listing = makeListing(tree.path("top"), options, tree.path("out.txt"));
    EXPECT_TRUE(sameLines(listing.entries, {" huge  3221225475 Kb  "}));
    EXPECT_EQ(listing.result.totalSizeKb, 3221225475);
    EXPECT_EQ(listing.lines.back(), "Total size: 3221225475 Kb");
}

// Writes down what the walk hands over as a tree: a folder nests under the entry it was
// entered after, and siblings are sorted when printed, since a folder gives its entries in
// no set order. A folder entered anywhere but right after its own entry lands under the
// wrong entry, and the print shows it.
class WalkRecorder : public WalkSink {
public:
    WalkRecorder(std::string root, std::function<bool(const WalkEntry&)> enters)
        : m_root(std::move(root) + "/")
        , m_enters(std::move(enters))
    {
    }

    void folderEntered(std::string_view path, int level) override
    {
        std::list<Node>* into = &m_top;
        if (!m_open.empty()) {
            Node& parent = *m_open.back();
            if (parent.children.empty())
                ADD_FAILURE() << "entered " << path << " before any entry of its parent";
            else
                into = &parent.children.back().children;
        }
        into->emplace_back("enter " + relative(path) + " " + std::to_string(level), true);
        m_open.push_back(&into->back());
    }

    void folderLeft() override
    {
        if (m_open.empty()) {
            ADD_FAILURE() << "left a folder that was never entered";
            return;
        }
        m_open.back()->left = true;
        m_open.pop_back();
    }

    void folderUnreadable(std::string_view path, int error) override
    {
        if (m_open.empty()) {
            ADD_FAILURE() << "unreadable " << path << " outside any folder";
            return;
        }
        m_open.back()->children.emplace_back("unreadable " + relative(path) + " " + std::to_string(error), false);
    }

    bool entry(const WalkEntry& entry) override
    {
        if (entry.name == "." || entry.name == "..")
            ADD_FAILURE() << "handed over \"" << entry.name << "\"";
        if (m_open.empty()) {
            ADD_FAILURE() << "entry " << entry.name << " outside any folder";
            return false;
        }
        std::string text = std::string(entry.name) + " ";
        for (int bit = 0; bit < 6; ++bit) {
            if (entry.attributes & (1u << bit))
                text += "RHSVDA"[bit];
        }
        text += " level " + std::to_string(entry.level);
        if (entry.enterable)
            text += " enterable";
        m_open.back()->children.emplace_back(text, false);
        return m_enters(entry);
    }

    Lines lines() const
    {
        if (!m_open.empty())
            ADD_FAILURE() << m_open.size() << " folders never left";
        Lines out;
        for (const Node& node : m_top) {
            Lines block = print(node, 0);
            out.insert(out.end(), block.begin(), block.end());
        }
        return out;
    }

private:
    std::string relative(std::string_view path) const
    {
        return std::string(path.substr(0, m_root.size()) == m_root ? path.substr(m_root.size()) : path);
    }

    struct Node {
        Node(std::string text, bool folder)
            : text(std::move(text))
            , folder(folder)
        {
        }
        std::string text;
        bool folder;
        bool left = false;
        std::list<Node> children; // a list: m_open points into it while it grows
    };

    static Lines print(const Node& node, int depth)
    {
        const std::string indent(2 * depth, ' ');
        Lines out = {indent + node.text};
        std::vector<Lines> blocks;
        for (const Node& child : node.children)
            blocks.push_back(print(child, depth + 1));
        std::sort(blocks.begin(), blocks.end());
        for (const Lines& block : blocks)
            out.insert(out.end(), block.begin(), block.end());
        if (node.folder)
            out.push_back(indent + (node.left ? "left" : "never left"));
        return out;
    }

    std::string m_root;
    std::function<bool(const WalkEntry&)> m_enters;
    std::list<Node> m_top;
    std::vector<Node*> m_open;
};

TEST(WalkFolder, HandsOverEveryEntryDepthFirst)
{
    TempTree tree;
    tree.mkdirp("top/a/b");
    tree.mkdirp("top/empty");
    tree.mkdirp("top/skip");
    tree.touch("top/a/x.txt");
    tree.touch("top/a/b/y.txt");
    tree.touch("top/z.txt");
    tree.touch("top/skip/unseen.txt");
    tree.symlink("a", "top/la");

    auto allBut
        = [](const char* refused) { return [refused](const WalkEntry& entry) { return entry.name != refused; }; };
    struct Case {
        const char* what;
        std::string folder;
        int level;
        std::function<bool(const WalkEntry&)> enters;
        Lines expected;
    } cases[] = {
        {"a refused folder and a link to a folder are not entered",
         "top",
         1,
         allBut("skip"),
         {
             "enter top/ 1",
             "  a D level 1 enterable",
             "    enter top/a/ 2",
             "      b D level 2 enterable",
             "        enter top/a/b/ 3",
             "          y.txt A level 3",
             "        left",
             "      x.txt A level 2",
             "    left",
             "  empty D level 1 enterable",
             "    enter top/empty/ 2",
             "    left",
             "  la D level 1",
             "  skip D level 1 enterable",
             "  z.txt A level 1",
             "left",
         }},
        {"a final slash stays single; levels count on from the one given",
         "top/a/",
         5,
         allBut(""),
         {
             "enter top/a/ 5",
             "  b D level 5 enterable",
             "    enter top/a/b/ 6",
             "      y.txt A level 6",
             "    left",
             "  x.txt A level 5",
             "left",
         }},
        {"a sink that enters nothing keeps the walk in the first folder",
         "top",
         1,
         [](const WalkEntry&) { return false; },
         {
             "enter top/ 1",
             "  a D level 1 enterable",
             "  empty D level 1 enterable",
             "  la D level 1",
             "  skip D level 1 enterable",
             "  z.txt A level 1",
             "left",
         }},
    };
    for (const Case& c : cases) {
        WalkRecorder recorder(tree.root(), c.enters);
        walkFolder(tree.path(c.folder), c.level, recorder);
        EXPECT_TRUE(sameLines(recorder.lines(), c.expected)) << c.what;
    }
}

// A start folder that cannot be read must not pass for an empty one.
// Names compare as the listings order them: a to z put in capitals, then byte by byte;
// names equal so are ordered by their raw bytes.
TEST(NameOrder, CapitalsForAToZThenBytes)
{
    const std::vector<std::string> ordered = {
        "",   "!bang", "02",  "1",  "10", "2",           "A",        "a",        "a.txt",
        "A0", "AB",    "Ab",  "aB", "ab", "caf\xC3\xA9", "Track 02", "track 07", "Track 11",
        "Z",  "z",     "[x]", "_x", "~",  "\x7F",        "\xC3\xA4", "\xFF",
    };
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        for (std::size_t j = 0; j < ordered.size(); ++j)
            EXPECT_EQ(nameLess(ordered[i], ordered[j]), i < j) << "[" << ordered[i] << "] [" << ordered[j] << "]";
    }
}

// Notes the names of the entries handed over; descends into folders when told to.
struct NameRecorder : WalkSink {
    explicit NameRecorder(bool descend)
        : descend(descend)
    {
    }
    std::vector<std::string> seen;
    bool descend;
    void folderEntered(std::string_view, int) override {}
    void folderLeft() override {}
    void folderUnreadable(std::string_view, int) override {}
    bool entry(const WalkEntry& entry) override
    {
        seen.emplace_back(entry.name);
        return descend;
    }
};

// The walk hands a folder's entries over in that order, whatever order the folder keeps.
TEST(WalkFolder, EntriesComeInNameOrder)
{
    TempTree tree;
    tree.mkdirp("top");
    const std::vector<std::string> created
        = {"Track 07.mp3", "Track 02.mp3", "Track 11.mp3", "b", "_x", "B", "a", "\xFF", "Zeta", "\xC3\xA4"};
    for (const std::string& name : created)
        tree.touch("top/" + name);
    tree.mkdirp("top/M");
    tree.touch("top/M/y");
    tree.touch("top/M/X");

    NameRecorder names(true);
    walkFolder(tree.path("top"), 1, names);
    EXPECT_EQ(names.seen,
              (std::vector<std::string>{"a", "B", "b", "M", "X", "y", "Track 02.mp3", "Track 07.mp3", "Track 11.mp3",
                                        "Zeta", "_x", "\xC3\xA4", "\xFF"}));
}

// Many names alike in their first eight or sixteen bytes, of every length around those
// marks: the walk's quick order agrees with nameLess for each pair.
TEST(WalkFolder, LongNamesAlikeAtTheStartAreOrderedAsWell)
{
    TempTree tree;
    tree.mkdirp("top");
    std::vector<std::string> created;
    unsigned seed = 7;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    const std::string stems[] = {"file_00", "File_00", "FILE_000_aaaaaaa", "file_000_aaaaaaa", "x"};
    for (int i = 0; i < 600; ++i) {
        std::string name = stems[next() % std::size(stems)];
        std::size_t extra = next() % 24;
        for (std::size_t k = 0; k < extra; ++k)
            name += "aAbB_9\x7F\xC3\xA4"[next() % 9];
        if (std::find(created.begin(), created.end(), name) == created.end() && name.find('/') == std::string::npos) {
            created.push_back(name);
            tree.touch("top/" + name);
        }
    }
    NameRecorder names(false);
    walkFolder(tree.path("top"), 1, names);
    std::vector<std::string> expected = created;
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return nameLess(a, b); });
    EXPECT_EQ(names.seen, expected);
}

TEST(WalkFolder, AStartFolderThatCannotBeReadThrows)
{
    TempTree tree;
    tree.mkdirp("top");
    tree.touch("top/z.txt");
    struct Case {
        const char* what;
        std::string folder;
        int error;
    } cases[] = {
        {"not there", "top/missing", ENOENT},
        {"a file", "top/z.txt", ENOTDIR},
    };
    for (const Case& c : cases) {
        WalkRecorder recorder(tree.root(), [](const WalkEntry&) { return true; });
        try {
            walkFolder(tree.path(c.folder), 1, recorder);
            ADD_FAILURE() << c.what << ": nothing thrown";
        } catch (const IoError& error) {
            EXPECT_EQ(error.errorNumber(), c.error) << c.what;
            EXPECT_EQ(error.path(), tree.path(c.folder)) << c.what;
        }
        EXPECT_TRUE(sameLines(recorder.lines(), {})) << c.what;
    }
}

// Out of descriptors, the start folder is not at fault, and the error says what is.
TEST(WalkFolder, TooManyOpenFilesAtTheStartAreNamedAsTheCause)
{
#ifdef ZINTREL_SANITIZED
    GTEST_SKIP() << "the sanitizers' checks need descriptors of their own, which this test uses up";
#endif
    TempTree tree;
    tree.mkdirp("top");
    WalkRecorder recorder(tree.root(), [](const WalkEntry&) { return true; });
    std::string text;
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    // The lowest free descriptor is the first one out of reach.
    const int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    rlimit tight{static_cast<rlim_t>(lowest), old.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const bool threw = throwsError<IoError>([&] { walkFolder(tree.path("top"), 1, recorder); }, &text);
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_TRUE(threw);
    EXPECT_EQ(text, "I/O error 24\n" + tree.path("top") + "\nToo many files are open to read the folder to list.");
    EXPECT_TRUE(sameLines(recorder.lines(), {}));
}

// Folders below the start that cannot be read, or whose entries cannot be looked at, are
// told to the sink with their errno, and the walk goes on with the rest.
TEST(WalkFolder, UnreadableFoldersAreToldAndTheWalkGoesOn)
{
    TempTree tree;
    tree.mkdirp("top/locked");
    tree.mkdirp("top/names-only");
    tree.mkdirp("top/open");
    tree.touch("top/locked/secret.txt");
    tree.touch("top/names-only/unseen.txt");
    tree.touch("top/open/x.txt");
    tree.chmod("top/locked", 0);
    tree.chmod("top/names-only", 0444);
    ::chmod(tree.root().c_str(), 0755);

    std::optional<std::string> outcome = runUnprivileged([&] {
        WalkRecorder recorder(tree.root(), [](const WalkEntry&) { return true; });
        walkFolder(tree.path("top"), 1, recorder);
        std::string joined;
        for (const std::string& line : recorder.lines())
            joined += line + "\n";
        return joined;
    });
    ASSERT_TRUE(outcome) << "the walk failed or no unprivileged user is available";
    const std::string denied = std::to_string(EACCES);
    EXPECT_EQ(*outcome,
              "enter top/ 1\n"
              "  locked RD level 1 enterable\n"
              "  names-only RD level 1 enterable\n"
              "    enter top/names-only/ 2\n"
              "      unreadable top/names-only "
                  + denied
                  + "\n"
                    "    left\n"
                    "  open D level 1 enterable\n"
                    "    enter top/open/ 2\n"
                    "      x.txt A level 2\n"
                    "    left\n"
                    "  unreadable top/locked "
                  + denied
                  + "\n"
                    "left\n");
}

// Restores a resource limit when it goes.
class ScopedLimit {
public:
    ScopedLimit(int resource, rlim_t soft)
        : m_resource(resource)
    {
        ::getrlimit(resource, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = soft;
        m_ok = ::setrlimit(resource, &lowered) == 0;
    }
    ~ScopedLimit() { ::setrlimit(m_resource, &m_old); }
    bool ok() const { return m_ok; }

private:
    int m_resource;
    rlimit m_old{};
    bool m_ok = false;
};

TEST(FolderWalk, FourThousandLevelsUnderALowDescriptorLimit)
{
    constexpr int kDepth = 4096;
    TempTree tree;
    tree.mkdirp("top");
    int fd = ::open(tree.path("top").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 1; level <= kDepth; ++level) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0) << "level " << level;
        int child = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(child, 0) << "level " << level;
        fd = child;
    }
    int leaf = ::openat(fd, "leaf.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(leaf, 0);
    ::close(leaf);
    ::close(fd);

    ListingOptions options = startOptions();
    options.showSize = options.showAttributes = options.showDateTime = false;
    options.indentSize = 0;
    options.fieldSpacing = 1;
    Lines expected;
    std::string path = tree.path("top");
    for (int level = 1; level <= kDepth; ++level) {
        path += "/d";
        expected.push_back(" d " + path + " " + std::to_string(level) + " ");
    }
    expected.push_back(" leaf.txt " + path + "/leaf.txt " + std::to_string(kDepth + 1) + " ");
    for (rlim_t descriptors : {64, 20}) {
        Listing listing;
        {
            ScopedLimit limit(RLIMIT_NOFILE, descriptors);
            ASSERT_TRUE(limit.ok());
            listing = makeListing(tree.path("top"), options, tree.path("out.txt"));
        }
        EXPECT_TRUE(sameLines(listing.entries, expected)) << descriptors << " descriptors";
        EXPECT_EQ(listing.result.folders, kDepth);
        EXPECT_EQ(listing.result.files, 1);
    }
}

TEST(FolderWalk, KernelFileSystemsAreNotEnteredOtherMountsAre)
{
    TempTree tree;
    tree.mkdirp("top/proc");
    tree.mkdirp("top/mem");
    ScopedMount proc("proc", tree.path("top/proc"));
    ScopedMount mem("tmpfs", tree.path("top/mem"));
    if (!proc.ok() || !mem.ok())
        GTEST_SKIP() << "no right to mount here";
    tree.touch("top/mem/inside.txt");
    tree.symlink("/proc", "top/proclink");

    ListingOptions options = compactOptions();
    Listing listing = sortedListing(tree.path("top"), options, tree.path("out.txt"));
    // Whatever the attribute bits of the mount points, only these four entries appear.
    ASSERT_EQ(listing.entries.size(), 4u);
    std::vector<std::string> names;
    for (const std::string& line : listing.entries)
        names.push_back(line.substr(0, line.find(' ', line.find_first_not_of(' '))));
    EXPECT_TRUE(sameLines(sorted(names), sorted({" proc", " proclink", " mem", "   inside.txt"})));
}

TEST(FolderWalk, UnreadableFolderIsListedButYieldsNothing)
{
    TempTree tree;
    tree.mkdirp("top/locked");
    tree.mkdirp("top/open");
    tree.mkdirp("out");
    tree.touch("top/locked/secret.txt");
    tree.touch("top/open/x.txt");
    tree.chmod("top/locked", 0);
    tree.chmod("out", 0777);
    ::chmod(tree.root().c_str(), 0755);

    const std::string target = tree.path("out/list.txt");
    ListingOptions options = compactOptions();
    std::optional<std::string> outcome = runUnprivileged([&] {
        SavePlan plan;
        plan.folder = tree.path("top");
        plan.target = target;
        plan.options = options;
        ScriptedUi ui;
        ListingRun run;
        run.execute(plan, testEnvironment(), ui);
        return std::string("done");
    });
    ASSERT_EQ(outcome, "done") << "the listing failed or no unprivileged user is available";
    Lines entries = sorted(entryLines(listingLines(readFile(target))));
    EXPECT_TRUE(sameLines(entries, sorted({" locked RD 1 ", " open D 1 ", "   x.txt A 2 "})));
}

} // namespace
} // namespace zintrel::test
