#include "TempTree.h"
#include "TestListing.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zintrel::test {
namespace {

using Lines = std::vector<std::string>;

void makeSocket(const std::string& path)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

// Links are listed once with what they point to and never entered; hidden, read-only and
// special files carry their letters.
TEST(SpecialEntries, LinksDevicesHiddenAndReadOnly)
{
    const std::time_t t1 = localTime(2020, 1, 2, 3, 4, 5);
    const std::time_t t2 = localTime(2021, 7, 8, 9, 10, 11);
    const std::time_t t3 = localTime(2022, 12, 13, 14, 15, 16);
    TempTree tree;
    tree.mkdirp("top/sub");
    tree.touch("top/data.txt", 3000, t1);
    tree.touch("top/.hidden", 10, t1);
    tree.touch("top/ro.txt", 2048, t1);
    tree.chmod("top/ro.txt", 0444);
    tree.mkfifo("top/fifo");
    tree.setTime("top/fifo", t1);
    makeSocket(tree.path("top/sock"));
    tree.setTime("top/sock", t1);
    tree.touch("top/sub/inner.txt", 1, t1);
    for (auto [target, name] : {std::pair{"data.txt", "link-file"},
                                {"sub", "link-dir"},
                                {"nowhere", "dangling"},
                                {"loop-b", "loop-a"},
                                {"loop-a", "loop-b"},
                                {".", "self"}}) {
        tree.symlink(target, std::string("top/") + name);
        tree.setTime(std::string("top/") + name, t2);
    }
    tree.setTime("top/sub", t3);
    tree.setTime("top", t3);

    ListingOptions options = startOptions();
    options.showPath = false;
    options.fieldSpacing = 1;
    Listing listing = sortedListing(tree.path("top"), options, tree.path("out.txt"));

    const std::string T1 = "02.01.2020 03:04:05", T2 = "08.07.2021 09:10:11", T3 = "13.12.2022 14:15:16";
    EXPECT_TRUE(sameLines(listing.entries,
                          sorted({
                              " data.txt 4 Kb A " + T1 + " 1 ",
                              " .hidden 1 Kb HA " + T1 + " 1 ",
                              " ro.txt 3 Kb RA " + T1 + " 1 ",
                              " fifo 1 Kb S " + T1 + " 1 ",
                              " sock 1 Kb S " + T1 + " 1 ",
                              " link-file 4 Kb A " + T1 + " 1 ",
                              " sub 0 Kb D " + T3 + " 1 ",
                              "   inner.txt 1 Kb A " + T1 + " 2 ",
                              " link-dir 0 Kb D " + T3 + " 1 ",
                              " dangling 1 Kb  " + T2 + " 1 ",
                              " loop-a 1 Kb  " + T2 + " 1 ",
                              " loop-b 1 Kb  " + T2 + " 1 ",
                              " self 0 Kb D " + T3 + " 1 ",
                          })));
    EXPECT_EQ(listing.result.folders, 3);
    EXPECT_EQ(listing.result.files, 10);
    EXPECT_EQ(listing.result.totalSizeKb, 21);
}

TEST(SpecialEntries, OneEntryOneLineWhateverTheBytesOfItsName)
{
    TempTree tree;
    const std::string top = "top\tx";
    tree.mkdirp(top);
    const Lines names = {"a\nb.txt", "caf\xe9.txt", "del\x7f", "\x01start", "\xe6\x97\xa5\xe6\x9c\xac.txt", "cr\r"};
    for (const std::string& name : names)
        tree.touch(top + "/" + name);

    ListingOptions options = startOptions();
    options.showSize = options.showAttributes = options.showDateTime = options.showLevel = false;
    options.fieldSpacing = 1;
    Listing listing = sortedListing(tree.path(top), options, tree.path("out.txt"));

    const std::string shown = tree.root() + "/top?x/";
    Lines expected;
    for (const char* name : {"a?b.txt", "caf\xe9.txt", "del?", "?start", "\xe6\x97\xa5\xe6\x9c\xac.txt", "cr?"})
        expected.push_back(" " + std::string(name) + " " + shown + name + " ");
    EXPECT_TRUE(sameLines(listing.entries, sorted(expected)));
    ASSERT_GE(listing.lines.size(), 2u);
    EXPECT_EQ(listing.lines[1], "Processed: " + tree.root() + "/top?x");
    EXPECT_EQ(listing.lines.size(), 9 + names.size());
}

// A time stamp far beyond the calendar (tmpfs keeps 2^62 seconds) has no date to show.
TEST(SpecialEntries, TimesWithoutALocalDateAreAQuestionMark)
{
    TempTree tree;
    tree.mkdirp("top");
    ScopedMount memory("tmpfs", tree.path("top"));
    if (!memory.ok())
        GTEST_SKIP() << "no right to mount here";
    tree.touch("top/far.txt", 10);
    const timespec times[2] = {{std::time_t{1} << 62, 0}, {std::time_t{1} << 62, 0}};
    if (::utimensat(AT_FDCWD, tree.path("top/far.txt").c_str(), times, 0) != 0)
        GTEST_SKIP() << "the file system keeps no such time";
    tree.touch("top/near.txt", 10, localTime(2020, 1, 2, 3, 4, 5));

    ListingOptions options = startOptions();
    options.showPath = options.showLevel = false;
    Listing listing = sortedListing(tree.path("top"), options, tree.path("out.txt"));
    EXPECT_TRUE(sameLines(listing.entries, {" far.txt  1 Kb  A  ?  ", " near.txt  1 Kb  A  02.01.2020 03:04:05  "}));
}

} // namespace
} // namespace zintrel::test
