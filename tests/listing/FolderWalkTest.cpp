#include "TempTree.h"
#include "TestListing.h"

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <sys/mount.h>
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
    FakeUi ui;
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

TEST(FolderWalk, ColumnsSpacingAndIndentation)
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
        {"defaults; a folder at midnight shows its date alone", "", [](ListingOptions&) {},
         {" a  0 Kb  D  19.06.2003  " + p + "/a  1  ", "   b  0 Kb  D  18.06.2003  " + p + "/a/b  2  ",
          "      c.txt  2 Kb  A  18.06.2003 11:48:30  " + p + "/a/b/c.txt  3  "}},
        {"folder given with its final slash", "/", [](ListingOptions& o) { o.showName = o.showSize = o.showAttributes = o.showDateTime = o.showLevel = false; },
         {" " + p + "/a  ", "   " + p + "/a/b  ", "      " + p + "/a/b/c.txt  "}},
        {"spacing 0", "",
         [](ListingOptions& o) {
             o.fieldSpacing = 0;
             o.showAttributes = o.showDateTime = o.showPath = o.showLevel = false;
         },
         {" a0 Kb", "   b0 Kb", "      c.txt2 Kb"}},
        {"indent 0", "",
         [](ListingOptions& o) {
             o.indentSize = 0;
             o.fieldSpacing = 1;
             o.showSize = o.showAttributes = o.showDateTime = o.showPath = o.showLevel = false;
         },
         {" a ", " b ", " c.txt "}},
        {"indent 1", "",
         [](ListingOptions& o) {
             o.indentSize = 1;
             o.fieldSpacing = 1;
             o.showSize = o.showAttributes = o.showDateTime = o.showPath = o.showLevel = false;
         },
         {" a ", " b ", "  c.txt "}},
        {"indent 10, level only", "",
         [](ListingOptions& o) {
             o.indentSize = 10;
             o.showName = o.showSize = o.showAttributes = o.showDateTime = o.showPath = false;
         },
         {" 1  ", std::string(10, ' ') + "2  ", std::string(20, ' ') + "3  "}},
        {"all columns off: indentation alone", "",
         [](ListingOptions& o) {
             o.showName = o.showSize = o.showAttributes = o.showDateTime = o.showPath = o.showLevel = false;
         },
         {" ", "   ", "      "}},
        {"subfolders off", "", [](ListingOptions& o) { o.includeSubfolders = false; },
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
        {"nothing excluded: read-only entries are listed", [](ListingOptions&) {},
         {A, RO, H, HD, IN, SUB, S, F, RD, R}},
        {"read only", [](ListingOptions& o) { o.excludeReadOnly = true; }, {A, H, HD, IN, SUB, S, F}},
        {"hidden: hidden folders are not entered", [](ListingOptions& o) { o.excludeHidden = true; },
         {A, RO, SUB, S, F, RD, R}},
        {"system", [](ListingOptions& o) { o.excludeSystem = true; }, {A, RO, H, HD, IN, SUB, S, RD, R}},
        {"volume id", [](ListingOptions& o) { o.excludeVolumeId = true; }, {A, RO, H, HD, IN, SUB, S, F, RD, R}},
        {"directory: no folder listed or entered", [](ListingOptions& o) { o.excludeDirectory = true; },
         {A, RO, H, F}},
        {"archive", [](ListingOptions& o) { o.excludeArchive = true; }, {HD, SUB, F, RD}},
        {"any file: folders only", [](ListingOptions& o) { o.excludeAnyFile = true; }, {HD, SUB, RD}},
        {"any file and hidden", [](ListingOptions& o) { o.excludeAnyFile = o.excludeHidden = true; }, {SUB, RD}},
        {"any file and directory: nothing", [](ListingOptions& o) { o.excludeAnyFile = o.excludeDirectory = true; },
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

TEST(FolderWalk, SizeFilterAtTheRoundingEdges)
{
    TempTree tree;
    tree.mkdirp("top/dir");
    for (long long size : {0, 512, 513, 1536, 2560})
        tree.touch("top/s" + std::to_string(size), size);
    tree.touch("top/dir/in2560", 2560);

    const std::string DIR = " dir 0 Kb 1 ", S0 = " s0 1 Kb 1 ", S512 = " s512 1 Kb 1 ", S513 = " s513 2 Kb 1 ",
                      S1536 = " s1536 3 Kb 1 ", S2560 = " s2560 3 Kb 1 ", IN = "   in2560 3 Kb 2 ";
    struct Case {
        SizeFilterMode mode;
        std::int64_t kb;
        Lines expected;
        std::int64_t total;
    } cases[] = {
        {SizeFilterMode::AtLeast, 0, {DIR, S0, S512, S513, S1536, S2560, IN}, 14},
        {SizeFilterMode::AtLeast, 1, {DIR, S0, S512, S513, S1536, S2560, IN}, 14},
        {SizeFilterMode::AtLeast, 2, {S513, S1536, S2560, IN}, 11},
        {SizeFilterMode::AtLeast, 3, {S1536, S2560, IN}, 9}, // a folder that fails is still entered
        {SizeFilterMode::AtLeast, 4, {}, 0},
        {SizeFilterMode::AtMost, 0, {}, 0},
        {SizeFilterMode::AtMost, 1, {DIR, S0, S512}, 3},
        {SizeFilterMode::AtMost, 2, {DIR, S0, S512, S513}, 5},
        {SizeFilterMode::AtMost, 3, {DIR, S0, S512, S513, S1536, S2560, IN}, 14},
    };
    for (const Case& c : cases) {
        ListingOptions options = startOptions();
        options.showAttributes = options.showDateTime = options.showPath = false;
        options.fieldSpacing = 1;
        options.sizeFilterEnabled = true;
        options.sizeFilterMode = c.mode;
        options.sizeFilterKb = c.kb;
        Listing listing = sortedListing(tree.path("top"), options, tree.path("out.txt"));
        const char* mode = c.mode == SizeFilterMode::AtLeast ? "at least " : "at most ";
        EXPECT_TRUE(sameLines(listing.entries, sorted(c.expected))) << mode << c.kb;
        EXPECT_EQ(listing.result.totalSizeKb, c.total) << mode << c.kb;
        EXPECT_EQ(listing.lines.back(), "Total size: " + std::to_string(c.total) + " Kb");
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
    options.sizeFilterKb = 3221225474; // exactly the entry's value
    Listing listing = makeListing(tree.path("top"), options, tree.path("out.txt"));
    EXPECT_TRUE(sameLines(listing.entries, {" huge  3221225475 Kb  "}));
    EXPECT_EQ(listing.result.totalSizeKb, 3221225475);
    EXPECT_EQ(listing.lines.back(), "Total size: 3221225475 Kb");
}

TEST(FolderWalk, DateFilterAdmitsWholeLocalDays)
{
    TempTree tree;
    tree.mkdirp("top/old");
    const std::pair<const char*, std::time_t> files[] = {
        {"d09-235959", localTime(2024, 3, 9, 23, 59, 59)}, {"d10-000000", localTime(2024, 3, 10)},
        {"d10-120000", localTime(2024, 3, 10, 12)},        {"d12-235959", localTime(2024, 3, 12, 23, 59, 59)},
        {"d13-000000", localTime(2024, 3, 13)},
    };
    for (const auto& [name, time] : files)
        tree.touch(std::string("top/") + name, 1, time);
    tree.touch("top/old/in11", 1, localTime(2024, 3, 11, 8));
    tree.setTime("top/old", localTime(2024, 1, 1, 12));

    const std::string D09 = " d09-235959 1 ", D10A = " d10-000000 1 ", D10B = " d10-120000 1 ",
                      D12 = " d12-235959 1 ", D13 = " d13-000000 1 ", OLD = " old 1 ", IN = "   in11 2 ";
    struct Case {
        const char* zone;
        LocalDateTime from;
        LocalDateTime to;
        Lines expected;
    } cases[] = {
        {"UTC", {2024, 3, 10, 11, 48, 27, 990}, {2024, 3, 12, 11, 49, 24, 450}, {D10A, D10B, D12, IN}},
        {"UTC", {2024, 3, 10, 23, 59, 59, 0}, {2024, 3, 10, 0, 0, 0, 0}, {D10A, D10B}},
        {"UTC", {2024, 3, 12, 11, 48, 27, 990}, {2024, 3, 10, 11, 49, 24, 450}, {}},
        {"UTC", {2023, 12, 31, 11, 48, 27, 990}, {2024, 3, 9, 11, 49, 24, 450}, {D09, OLD}},
        {"UTC", {2023, 6, 1, 11, 48, 27, 990}, {2025, 1, 1, 11, 49, 24, 450}, {D09, D10A, D10B, D12, D13, OLD, IN}},
        // The same stamps seen one hour east: the local date decides.
        {"Europe/Berlin", {2024, 3, 10, 11, 48, 27, 990}, {2024, 3, 12, 11, 49, 24, 450}, {D09, D10A, D10B, IN}},
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        ListingOptions options = startOptions();
        options.showSize = options.showAttributes = options.showDateTime = options.showPath = false;
        options.fieldSpacing = 1;
        options.dateFilterEnabled = true;
        options.dateFrom = c.from;
        options.dateTo = c.to;
        Listing listing = sortedListing(tree.path("top"), options, tree.path("out.txt"));
        EXPECT_TRUE(sameLines(listing.entries, sorted(c.expected)))
            << c.zone << " " << c.from.month << "-" << c.from.day << " to " << c.to.month << "-" << c.to.day;
    }
}

TEST(FolderWalk, FileMasks)
{
    TempTree tree;
    tree.mkdirp("top/docs.txt");
    for (const char* name : {"notes.txt", "NOTES2.TXT", "a.b.txt", "letter.dot", "readme", "notes.", "notes.old.txt",
                             "abcdefghijklmnopqrst", "docs.txt/x.txt"})
        tree.touch(std::string("top/") + name);

    const std::string NOTES = " notes.txt 1 ", NOTES2 = " NOTES2.TXT 1 ", AB = " a.b.txt 1 ", DOT = " letter.dot 1 ",
                      README = " readme 1 ", NOTESDOT = " notes. 1 ", OLD = " notes.old.txt 1 ",
                      LONG = " abcdefghijklmnopqrst 1 ", DOCS = " docs.txt 1 ", X = "   x.txt 2 ";
    const Lines all = {NOTES, NOTES2, AB, DOT, README, NOTESDOT, OLD, LONG, DOCS, X};
    struct Case {
        std::string mask;
        Lines expected;
    } cases[] = {
        {"", all},
        {"*.txt", {NOTES, NOTES2, AB, OLD, X}}, // the folder docs.txt gets no line but is entered
        {"NOTES.*", {NOTES, NOTESDOT}},
        {"*.", {README, NOTESDOT, LONG}},
        {"*.doc; *.dot", {DOT}},
        {"*.txt;*.*", all},
        {"readme;", {README}},
        {";", {}},
        {"*", {}},
        {"docs.txt", {}},
        {"abcdefghijklmnopqrstuvwxy", {LONG}},
    };
    for (const Case& c : cases) {
        ListingOptions options = startOptions();
        options.showSize = options.showAttributes = options.showDateTime = options.showPath = false;
        options.fieldSpacing = 1;
        options.fileMask = c.mask;
        Listing listing = sortedListing(tree.path("top"), options, tree.path("out.txt"));
        EXPECT_TRUE(sameLines(listing.entries, sorted(c.expected))) << "mask \"" << c.mask << "\"";
        EXPECT_EQ(listing.lines.size(), 9 + c.expected.size()) << "mask \"" << c.mask << "\"";
        if (!c.mask.empty() && c.mask.find("*.*") == std::string::npos) {
            EXPECT_EQ(listing.result.folders, 0) << "mask \"" << c.mask << "\"";
        }
    }
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

// Unmounts when it goes.
class ScopedMount {
public:
    ScopedMount(const char* type, const std::string& where)
        : m_where(where)
    {
        m_ok = ::mount(type, where.c_str(), type, 0, nullptr) == 0;
    }
    ~ScopedMount()
    {
        if (m_ok)
            ::umount2(m_where.c_str(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }

private:
    std::string m_where;
    bool m_ok = false;
};

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
        FakeUi ui;
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
