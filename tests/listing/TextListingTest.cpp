#include "TempTree.h"
#include "TestListing.h"

#include "listing/EntryFilter.h"
#include "listing/FolderWalk.h"
#include "listing/ListingSink.h"
#include "listing/TextListing.h"
#include "platform/OutputFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace zintrel::test {
namespace {

using Lines = std::vector<std::string>;

// An anonymous file in memory, so that the writer's real descriptor path runs without a disk.
class MemoryFile {
public:
    MemoryFile()
        : m_fd(::memfd_create("zintrel-lines", MFD_CLOEXEC))
    {
        if (m_fd < 0)
            ADD_FAILURE() << "memfd_create: " << std::strerror(errno);
    }
    ~MemoryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    int fd() const { return m_fd; }

    std::string content() const
    {
        std::string bytes;
        char buffer[4096];
        off_t offset = 0;
        for (ssize_t n; (n = ::pread(m_fd, buffer, sizeof buffer, offset)) > 0; offset += n)
            bytes.append(buffer, static_cast<std::size_t>(n));
        return bytes;
    }

private:
    int m_fd;
};

// What the walk tells the writer, in the order it tells it.
struct Step {
    enum Kind { Enter, Entry, Leave } kind;
    std::string path;
    WalkEntry entry;
};

Step enter(std::string path) { return {Step::Enter, std::move(path), {}}; }
Step leave() { return {Step::Leave, {}, {}}; }

Step file(std::string_view name, std::int64_t size, int level, std::time_t time = 0,
          std::uint32_t attributes = kArchive)
{
    WalkEntry entry;
    entry.name = name;
    entry.size = size;
    entry.attributes = attributes;
    entry.time = time;
    entry.level = level;
    return {Step::Entry, {}, entry};
}

Step folder(std::string_view name, int level, std::time_t time = 0)
{
    Step step = file(name, 0, level, time, kDirectory);
    step.entry.enterable = true;
    return step;
}

struct Written {
    std::string bytes;
    Lines lines;
    std::int64_t folders = 0;
    std::int64_t files = 0;
    std::int64_t totalSizeKb = 0;
};

// The entry lines the walk's steps give, through the sink that counts them (and filters
// them by options), or, unfiltered, straight into the text listing.
Written write(const ListingOptions& options, const std::vector<Step>& steps, bool filtered = true)
{
    MemoryFile memory;
    OutputFile out(memory.fd(), "in memory");
    TextListing text(options, out, kFormat);
    EntryFilter filter(options);
    ListingRunState state;
    ListingSink sink(filter, text, state, nullptr);
    std::vector<std::string> folders;
    for (const Step& step : steps) {
        switch (step.kind) {
        case Step::Enter:
            folders.push_back(step.path);
            if (filtered)
                sink.folderEntered(folders.back(), static_cast<int>(folders.size()));
            else
                text.folderEntered(folders.back(), static_cast<int>(folders.size()), false);
            break;
        case Step::Entry: {
            WalkEntry entry = step.entry;
            entry.folder = folders.back();
            if (filtered) {
                sink.entry(entry);
                break;
            }
            ListedEntry listed;
            listed.name = entry.name;
            listed.folder = entry.folder;
            listed.size = entry.size;
            listed.attributes = entry.attributes;
            listed.time = entry.time;
            listed.level = entry.level;
            text.entry(listed);
            break;
        }
        case Step::Leave:
            if (filtered)
                sink.folderLeft();
            else
                text.folderLeft();
            folders.pop_back();
            break;
        }
    }
    out.flush();
    Written written;
    written.bytes = memory.content();
    written.lines = listingLines(written.bytes);
    const ListingTotals totals = sink.totals();
    written.folders = totals.folders;
    written.files = totals.files;
    written.totalSizeKb = totals.totalSizeKb;
    EXPECT_EQ(text.linesWritten(), static_cast<std::int64_t>(written.lines.size()));
    return written;
}

using Set = std::function<void(ListingOptions&)>;

TEST(TextListing, ColumnsSpacingAndIndentation)
{
    const std::vector<Step> tree = {
        enter("/top/"),
        folder("a", 1, localTime(2003, 6, 19)),
        enter("/top/a/"),
        folder("b", 2, localTime(2003, 6, 18)),
        enter("/top/a/b/"),
        file("c.txt", 1500, 3, localTime(2003, 6, 18, 11, 48, 30)),
        leave(),
        leave(),
        leave(),
    };
    struct Case {
        const char* what;
        Set set;
        Lines expected;
    } cases[] = {
        {"defaults; a folder at midnight shows its date alone",
         [](ListingOptions&) {},
         {" a  0 Kb  D  19.06.2003  /top/a  1  ", "   b  0 Kb  D  18.06.2003  /top/a/b  2  ",
          "      c.txt  2 Kb  A  18.06.2003 11:48:30  /top/a/b/c.txt  3  "}},
        {"spacing 0",
         [](ListingOptions& o) {
             o.fieldSpacing = 0;
             o.showAttributes = o.showDateTime = o.showPath = o.showLevel = false;
         },
         {" a0 Kb", "   b0 Kb", "      c.txt2 Kb"}},
        {"spacing 10, every column",
         [](ListingOptions& o) { o.fieldSpacing = 10; },
         {" a" + std::string(10, ' ') + "0 Kb" + std::string(10, ' ') + "D" + std::string(10, ' ') + "19.06.2003"
              + std::string(10, ' ') + "/top/a" + std::string(10, ' ') + "1" + std::string(10, ' '),
          "   b" + std::string(10, ' ') + "0 Kb" + std::string(10, ' ') + "D" + std::string(10, ' ') + "18.06.2003"
              + std::string(10, ' ') + "/top/a/b" + std::string(10, ' ') + "2" + std::string(10, ' '),
          "      c.txt" + std::string(10, ' ') + "2 Kb" + std::string(10, ' ') + "A" + std::string(10, ' ')
              + "18.06.2003 11:48:30" + std::string(10, ' ') + "/top/a/b/c.txt" + std::string(10, ' ') + "3"
              + std::string(10, ' ')}},
        {"indent 0",
         [](ListingOptions& o) {
             o.indentSize = 0;
             o.fieldSpacing = 1;
             o.showSize = o.showAttributes = o.showDateTime = o.showPath = o.showLevel = false;
         },
         {" a ", " b ", " c.txt "}},
        {"indent 1",
         [](ListingOptions& o) {
             o.indentSize = 1;
             o.fieldSpacing = 1;
             o.showSize = o.showAttributes = o.showDateTime = o.showPath = o.showLevel = false;
         },
         {" a ", " b ", "  c.txt "}},
        {"indent 10, level only",
         [](ListingOptions& o) {
             o.indentSize = 10;
             o.showName = o.showSize = o.showAttributes = o.showDateTime = o.showPath = false;
         },
         {" 1  ", std::string(10, ' ') + "2  ", std::string(20, ' ') + "3  "}},
        {"all columns off: indentation alone",
         [](ListingOptions& o) {
             o.showName = o.showSize = o.showAttributes = o.showDateTime = o.showPath = o.showLevel = false;
         },
         {" ", "   ", "      "}},
        {"date and time alone",
         [](ListingOptions& o) {
             o.indentSize = 0;
             o.fieldSpacing = 0;
             o.showName = o.showSize = o.showAttributes = o.showPath = o.showLevel = false;
         },
         {" 19.06.2003", " 18.06.2003", " 18.06.2003 11:48:30"}},
    };
    for (const Case& c : cases) {
        ListingOptions options = startOptions();
        c.set(options);
        Written written = write(options, tree);
        EXPECT_TRUE(sameLines(written.lines, c.expected)) << c.what;
    }
}

TEST(TextListing, AttributeLettersInTheirOrder)
{
    struct Case {
        const char* what;
        std::uint32_t attributes;
        std::string expected;
    } cases[] = {
        {"none", 0, "  "},
        {"read-only file", kReadOnly | kArchive, " RA "},
        {"hidden folder", kHidden | kDirectory, " HD "},
        {"every bit", kReadOnly | kHidden | kSystem | kVolumeId | kDirectory | kArchive, " RHSVDA "},
        {"unknown bits show nothing", 64 | 128 | kSystem, " S "},
    };
    for (const Case& c : cases) {
        ListingOptions options = startOptions();
        options.showName = options.showSize = options.showDateTime = options.showPath = options.showLevel = false;
        options.fieldSpacing = 1;
        Written written = write(options, {enter("/top/"), file("x", 0, 1, 0, c.attributes), leave()}, false);
        EXPECT_TRUE(sameLines(written.lines, {c.expected})) << c.what;
    }
}

// A folder of seven characters, like "C:\Docs": the line of notes.txt is 74 characters long.
TEST(TextListing, WorkedExampleLine)
{
    const std::string docs = "/u/Docs";
    Written written = write(startOptions(),
                            {
                                enter(docs + "/"),
                                folder("Letters", 1, localTime(2003, 6, 18, 9, 15, 0)),
                                enter(docs + "/Letters/"),
                                file("notes.txt", 1500, 2, localTime(2003, 6, 18, 11, 48, 30)),
                                leave(),
                                leave(),
                            });
    const std::string notesLine = "   notes.txt  2 Kb  A  18.06.2003 11:48:30  /u/Docs/Letters/notes.txt  2  ";
    EXPECT_EQ(notesLine.size(), 74u);
    EXPECT_EQ(written.bytes, " Letters  0 Kb  D  18.06.2003 09:15:00  /u/Docs/Letters  1  \r\n" + notesLine + "\r\n");
    EXPECT_EQ(written.folders, 1);
    EXPECT_EQ(written.files, 1);
    EXPECT_EQ(written.totalSizeKb, 3);
}

TEST(TextListing, ControlBytesInNamesAndPathsBecomeQuestionMarks)
{
    struct Case {
        const char* what;
        std::string folder;
        std::string name;
        std::string expected;
    } cases[] = {
        {"line feed in a name", "/top/", "a\nb.txt", " a?b.txt /top/a?b.txt "},
        {"carriage return at the end", "/top/", "cr\r", " cr? /top/cr? "},
        {"delete", "/top/", "del\x7f", " del? /top/del? "},
        {"0x01 and 0x1F", "/top/", "\x01x\x1f", " ?x? /top/?x? "},
        {"a tab in the folder", "/top\tx/", "n.txt", " n.txt /top?x/n.txt "},
        {"control bytes in both", "/\x1b[0m/", "\x07", " ? /?[0m/? "},
        {"blank, tilde and bytes above 0x7F stay", "/caf\xc3\xa9/", "a b~\x80\xff\xe6\x97\xa5",
         " a b~\x80\xff\xe6\x97\xa5 /caf\xc3\xa9/a b~\x80\xff\xe6\x97\xa5 "},
    };
    for (const Case& c : cases) {
        ListingOptions options = startOptions();
        options.showSize = options.showAttributes = options.showDateTime = options.showLevel = false;
        options.fieldSpacing = 1;
        options.indentSize = 0;
        Written written = write(options, {enter(c.folder), file(c.name, 0, 1), leave()});
        EXPECT_TRUE(sameLines(written.lines, {c.expected})) << c.what;
    }
}

TEST(TextListing, PathColumnAfterReturningFromSubfolders)
{
    ListingOptions options = startOptions();
    options.showName = options.showSize = options.showAttributes = options.showDateTime = options.showLevel = false;
    options.fieldSpacing = 1;
    options.indentSize = 0;
    Written written = write(options,
                            {
                                enter("/top/"),
                                folder("a", 1),
                                enter("/top/a/"),
                                folder("b", 2),
                                enter("/top/a/b/"),
                                folder("c", 3),
                                enter("/top/a/b/c/"),
                                file("deep.txt", 0, 4),
                                leave(),
                                file("after-c.txt", 0, 3),
                                leave(),
                                file("after-b.txt", 0, 2),
                                leave(),
                                file("after-a.txt", 0, 1),
                                folder("e", 1),
                                enter("/top/e/"),
                                file("in-e.txt", 0, 2),
                                leave(),
                                folder("a-longer-name", 1),
                                enter("/top/a-longer-name/"),
                                leave(),
                                file("last.txt", 0, 1),
                                leave(),
                            });
    EXPECT_TRUE(sameLines(written.lines,
                          {
                              " /top/a ",
                              " /top/a/b ",
                              " /top/a/b/c ",
                              " /top/a/b/c/deep.txt ",
                              " /top/a/b/after-c.txt ",
                              " /top/a/after-b.txt ",
                              " /top/after-a.txt ",
                              " /top/e ",
                              " /top/e/in-e.txt ",
                              " /top/a-longer-name ",
                              " /top/last.txt ",
                          }));
}

TEST(TextListing, SizesAndCounters)
{
    const long long huge = (3LL << 40) + 1536;
    struct Case {
        const char* what;
        Set set;
        std::vector<Step> entries;
        Lines expected;
        std::int64_t folders;
        std::int64_t files;
        std::int64_t totalSizeKb;
    } cases[] = {
        {"a folder shows 0 Kb and adds 1 to the total",
         [](ListingOptions&) {},
         {folder("d", 1)},
         {" d 0 Kb "},
         1,
         0,
         1},
        {"an empty file shows 1 Kb", [](ListingOptions&) {}, {file("e", 0, 1)}, {" e 1 Kb "}, 0, 1, 1},
        {"halves round to the even neighbour, then one more",
         [](ListingOptions&) {},
         {file("s511", 511, 1), file("s512", 512, 1), file("s513", 513, 1), file("s1023", 1023, 1),
          file("s1536", 1536, 1), file("s2560", 2560, 1)},
         {" s511 1 Kb ", " s512 1 Kb ", " s513 2 Kb ", " s1023 2 Kb ", " s1536 3 Kb ", " s2560 3 Kb "},
         0,
         6,
         12},
        {"beyond 32 bits", [](ListingOptions&) {}, {file("huge", huge, 1)}, {" huge 3221225475 Kb "}, 0, 1, 3221225475},
        {"a total beyond 32 bits unsigned",
         [](ListingOptions&) {},
         {file("huge", huge, 1), file("huge2", huge, 1), folder("d", 1)},
         {" huge 3221225475 Kb ", " huge2 3221225475 Kb ", " d 0 Kb "},
         1,
         2,
         6442450951},
        {"counted with the size column off",
         [](ListingOptions& o) { o.showSize = false; },
         {file("f", 1536, 1), folder("d", 1)},
         {" f ", " d "},
         1,
         1,
         4},
    };
    for (const Case& c : cases) {
        ListingOptions options = startOptions();
        options.showAttributes = options.showDateTime = options.showPath = options.showLevel = false;
        options.fieldSpacing = 1;
        c.set(options);
        std::vector<Step> steps = {enter("/top/")};
        steps.insert(steps.end(), c.entries.begin(), c.entries.end());
        steps.push_back(leave());
        Written written = write(options, steps);
        EXPECT_TRUE(sameLines(written.lines, c.expected)) << c.what;
        EXPECT_EQ(written.folders, c.folders) << c.what;
        EXPECT_EQ(written.files, c.files) << c.what;
        EXPECT_EQ(written.totalSizeKb, c.totalSizeKb) << c.what;
    }
}

} // namespace
} // namespace zintrel::test
