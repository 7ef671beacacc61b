#include "TestListing.h"

#include "listing/EntryFilter.h"
#include "listing/FolderWalk.h"
#include "listing/ListingOptions.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace zintrel {
namespace {

TEST(BuildAttributeMask, EachExcludeFlagTakesOnlyItsOwnBit)
{
    struct Case {
        bool ListingOptions::*flag;
        std::uint32_t expected;
    } cases[] = {
        {nullptr, 63},
        {&ListingOptions::excludeReadOnly, 63 - 1},
        {&ListingOptions::excludeHidden, 63 - 2},
        {&ListingOptions::excludeSystem, 63 - 4},
        {&ListingOptions::excludeVolumeId, 63 - 8},
        {&ListingOptions::excludeDirectory, 63 - 16},
        {&ListingOptions::excludeArchive, 63 - 32},
    };
    for (const Case& c : cases) {
        ListingOptions options;
        if (c.flag)
            options.*c.flag = true;
        EXPECT_EQ(buildAttributeMask(options), c.expected);
    }
}

using Set = std::function<void(ListingOptions&)>;

WalkEntry file(const char* name, std::int64_t size = 0, std::uint32_t attributes = kArchive, std::time_t time = 0,
               int level = 1)
{
    WalkEntry entry;
    entry.name = name;
    entry.size = size;
    entry.attributes = attributes;
    entry.time = time;
    entry.level = level;
    return entry;
}

WalkEntry folder(const char* name, std::uint32_t attributes = kDirectory, std::time_t time = 0)
{
    WalkEntry entry = file(name, 0, attributes, time);
    entry.enterable = true;
    return entry;
}

char letter(EntryFilter::Verdict verdict)
{
    switch (verdict) {
    case EntryFilter::Verdict::Skip:
        return 'S';
    case EntryFilter::Verdict::Hide:
        return 'H';
    case EntryFilter::Verdict::List:
        return 'L';
    }
    return '?';
}

// One letter per entry, S(kip) H(ide) L(ist), so that a table row reads as a line of verdicts.
std::string verdicts(const EntryFilter& filter, const std::vector<WalkEntry>& entries)
{
    std::string row;
    for (const WalkEntry& entry : entries)
        row += letter(filter.judge(entry));
    return row;
}

std::string namesOf(const std::vector<WalkEntry>& entries)
{
    std::string names;
    for (const WalkEntry& entry : entries)
        names += std::string(names.empty() ? "" : " ") + std::string(entry.name);
    return names;
}

// A folder judged Skip is never entered, one judged Hide is; so a row that makes a folder
// S instead of H (or the other way) changes how much of the tree gets listed.
TEST(EntryFilter, AttributeExclusionsSkip)
{
    const std::vector<WalkEntry> entries = {
        file("a.txt"),
        file("ro.txt", 0, kReadOnly | kArchive),
        file(".h.txt", 0, kHidden | kArchive),
        file("fifo", 0, kSystem),
        file("label", 0, kVolumeId),
        file("dangling", 0, 0),
        folder("sub"),
        folder(".hd", kHidden | kDirectory),
        folder("rodir", kReadOnly | kDirectory),
    };
    struct Case {
        const char* what;
        Set set;
        const char* expected; // a.txt ro.txt .h.txt fifo label dangling sub .hd rodir
    } cases[] = {
        {"nothing excluded", [](ListingOptions&) {}, "LLLLLLLLL"},
        {"read only", [](ListingOptions& o) { o.excludeReadOnly = true; }, "LSLLLLLLS"},
        {"hidden", [](ListingOptions& o) { o.excludeHidden = true; }, "LLSLLLLSL"},
        {"system", [](ListingOptions& o) { o.excludeSystem = true; }, "LLLSLLLLL"},
        {"volume id", [](ListingOptions& o) { o.excludeVolumeId = true; }, "LLLLSLLLL"},
        {"directory", [](ListingOptions& o) { o.excludeDirectory = true; }, "LLLLLLSSS"},
        {"archive", [](ListingOptions& o) { o.excludeArchive = true; }, "SSSLLLLLL"},
        {"any file: folders only", [](ListingOptions& o) { o.excludeAnyFile = true; }, "SSSSSSLLL"},
        {"any file and hidden", [](ListingOptions& o) { o.excludeAnyFile = o.excludeHidden = true; }, "SSSSSSLSL"},
        {"any file and directory: nothing", [](ListingOptions& o) { o.excludeAnyFile = o.excludeDirectory = true; },
         "SSSSSSSSS"},
        {"read only and archive", [](ListingOptions& o) { o.excludeReadOnly = o.excludeArchive = true; }, "SSSLLLLLS"},
        // The attribute test comes first: what it skips is never merely hidden by the others.
        {"hidden under a mask",
         [](ListingOptions& o) {
             o.excludeHidden = true;
             o.fileMask = "*.txt";
         },
         "LLSHHHHSH"},
        {"read only under a size filter nothing passes",
         [](ListingOptions& o) {
             o.excludeReadOnly = true;
             o.sizeFilterEnabled = true;
             o.sizeFilterMode = SizeFilterMode::AtMost;
             o.sizeFilterKb = 0;
         },
         "HSHHHHHHS"},
    };
    for (const Case& c : cases) {
        ListingOptions options = test::startOptions();
        c.set(options);
        EntryFilter filter(options);
        EXPECT_EQ(verdicts(filter, entries), c.expected) << c.what << "\n  entries: " << namesOf(entries);
    }
}

TEST(EntryFilter, BitsOutsideTheKnownSixAreNeverListed)
{
    // No exclusion is on, yet the mask holds only the six known bits.
    EntryFilter filter(test::startOptions());
    const std::vector<WalkEntry> entries = {file("odd", 0, 64 | kArchive), folder("odd-dir", 128 | kDirectory)};
    EXPECT_EQ(verdicts(filter, entries), "SS");
}

TEST(EntryFilter, TheSavesOwnFilesAreSkipped)
{
    auto at = [](WalkEntry entry, dev_t device, ino_t inode) {
        entry.device = device;
        entry.inode = inode;
        return entry;
    };
    const std::vector<WalkEntry> entries = {
        at(file("list.txt"), 7, 100),     at(file("temp.txt"), 7, 200),
        at(file("other-device"), 8, 100), at(file("other-inode"), 7, 101),
        at(folder("own-folder"), 9, 300), at(file("big-ids"), 0xFFFFFFFF00000001, 0xFFFFFFFF00000002),
        at(file("low-ids"), 1, 2),
    };
    struct Case {
        const char* what;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> own;
        Set set;
        const char* expected; // list.txt temp.txt other-device other-inode own-folder big-ids low-ids
    } cases[] = {
        {"none", {}, [](ListingOptions&) {}, "LLLLLLL"},
        {"one", {{7, 100}}, [](ListingOptions&) {}, "SLLLLLL"},
        {"two, and a folder", {{7, 100}, {7, 200}, {9, 300}}, [](ListingOptions&) {}, "SSLLSLL"},
        {"ids beyond 32 bits are compared whole",
         {{0xFFFFFFFF00000001, 0xFFFFFFFF00000002}},
         [](ListingOptions&) {},
         "LLLLLSL"},
        {"skipped, not hidden, when the mask leaves it out too",
         {{7, 100}},
         [](ListingOptions& o) { o.fileMask = "*.dat"; },
         "SHHHHHH"},
    };
    for (const Case& c : cases) {
        ListingOptions options = test::startOptions();
        c.set(options);
        EntryFilter filter(options);
        for (const auto& [device, inode] : c.own)
            filter.skipFile(device, inode);
        EXPECT_EQ(verdicts(filter, entries), c.expected) << c.what << "\n  entries: " << namesOf(entries);
    }
}

// The filter compares the Kb a line shows for a file: bytes / 1024 rounded half to even,
// plus one. A folder counts as 1 Kb here though its line shows 0 Kb.
TEST(EntryFilter, SizeFilterAtTheRoundingEdges)
{
    const std::vector<WalkEntry> entries = {file("s0", 0),       file("s512", 512),   file("s513", 513),
                                            file("s1536", 1536), file("s2560", 2560), folder("dir")};
    struct Case {
        SizeFilterMode mode;
        std::int64_t kb;
        const char* expected; // s0 s512 s513 s1536 s2560 dir
    } cases[] = {
        {SizeFilterMode::AtLeast, 0, "LLLLLL"},
        {SizeFilterMode::AtLeast, 1, "LLLLLL"},
        {SizeFilterMode::AtLeast, 2, "HHLLLH"},
        {SizeFilterMode::AtLeast, 3, "HHHLLH"}, // a folder that fails is hidden, so still entered
        {SizeFilterMode::AtLeast, 4, "HHHHHH"},
        {SizeFilterMode::AtMost, 0, "HHHHHH"},
        {SizeFilterMode::AtMost, 1, "LLHHHL"},
        {SizeFilterMode::AtMost, 2, "LLLHHL"},
        {SizeFilterMode::AtMost, 3, "LLLLLL"},
    };
    for (const Case& c : cases) {
        ListingOptions options = test::startOptions();
        options.sizeFilterEnabled = true;
        options.sizeFilterMode = c.mode;
        options.sizeFilterKb = c.kb;
        EntryFilter filter(options);
        const char* mode = c.mode == SizeFilterMode::AtLeast ? "at least " : "at most ";
        EXPECT_EQ(verdicts(filter, entries), c.expected) << mode << c.kb << "\n  entries: " << namesOf(entries);
    }
}

TEST(EntryFilter, SizesBeyond32Bits)
{
    // Shown as 3221225475 Kb: more than a signed 32-bit count holds.
    const std::vector<WalkEntry> entries = {file("huge", (3LL << 40) + 1536)};
    struct Case {
        SizeFilterMode mode;
        std::int64_t kb;
        const char* expected;
    } cases[] = {
        {SizeFilterMode::AtLeast, 3221225474, "L"}, {SizeFilterMode::AtLeast, 3221225475, "L"},
        {SizeFilterMode::AtLeast, 3221225476, "H"}, {SizeFilterMode::AtMost, 3221225474, "H"},
        {SizeFilterMode::AtMost, 3221225475, "L"},  {SizeFilterMode::AtMost, 100, "H"},
        {SizeFilterMode::AtLeast, 1LL << 40, "H"},
    };
    for (const Case& c : cases) {
        ListingOptions options = test::startOptions();
        options.sizeFilterEnabled = true;
        options.sizeFilterMode = c.mode;
        options.sizeFilterKb = c.kb;
        EntryFilter filter(options);
        const char* mode = c.mode == SizeFilterMode::AtLeast ? "at least " : "at most ";
        EXPECT_EQ(verdicts(filter, entries), c.expected) << mode << c.kb;
    }
}

// Stamps fixed in UTC; the zone of the run decides on which local day each falls.
using test::utc;

std::string dateText(const LocalDateTime& date)
{
    return std::to_string(date.year) + "-" + std::to_string(date.month) + "-" + std::to_string(date.day);
}

TEST(EntryFilter, DateFilterAdmitsWholeLocalDays)
{
    const std::vector<WalkEntry> entries = {
        file("d09-235959", 1, kArchive, utc(2024, 3, 9, 23, 59, 59)),
        file("d10-000000", 1, kArchive, utc(2024, 3, 10)),
        file("d10-120000", 1, kArchive, utc(2024, 3, 10, 12)),
        file("d12-235959", 1, kArchive, utc(2024, 3, 12, 23, 59, 59)),
        file("d13-000000", 1, kArchive, utc(2024, 3, 13)),
        folder("old", kDirectory, utc(2024, 1, 1, 12)),
        file("in11", 1, kArchive, utc(2024, 3, 11, 8), 2),
    };
    struct Case {
        const char* zone;
        LocalDateTime from;
        LocalDateTime to;
        const char* expected; // d09 d10-0 d10-12 d12 d13 old in11
    } cases[] = {
        {"UTC", {2024, 3, 10, 11, 48, 27, 990}, {2024, 3, 12, 11, 49, 24, 450}, "HLLLHHL"},
        // The times of day of the bounds are not looked at.
        {"UTC", {2024, 3, 10, 23, 59, 59, 0}, {2024, 3, 10, 0, 0, 0, 0}, "HLLHHHH"},
        {"UTC", {2024, 3, 12, 11, 48, 27, 990}, {2024, 3, 10, 11, 49, 24, 450}, "HHHHHHH"}, // from after to
        {"UTC", {2023, 12, 31, 11, 48, 27, 990}, {2024, 3, 9, 11, 49, 24, 450}, "LHHHHLH"},
        {"UTC", {2023, 6, 1, 11, 48, 27, 990}, {2025, 1, 1, 11, 49, 24, 450}, "LLLLLLL"},
        // The same stamps seen one hour east: the local date decides.
        {"Europe/Berlin", {2024, 3, 10, 11, 48, 27, 990}, {2024, 3, 12, 11, 49, 24, 450}, "LLLHHHL"},
    };
    for (const Case& c : cases) {
        test::ScopedTimeZone zone(c.zone);
        ListingOptions options = test::startOptions();
        options.dateFilterEnabled = true;
        options.dateFrom = c.from;
        options.dateTo = c.to;
        EntryFilter filter(options);
        EXPECT_EQ(verdicts(filter, entries), c.expected)
            << c.zone << " " << dateText(c.from) << " to " << dateText(c.to) << "\n  entries: " << namesOf(entries);
    }
}

// Times without a local date pass no date filter, however wide; bounds in years the
// calendar cannot reach still leave an ordinary day inside.
TEST(EntryFilter, TimesWithoutALocalDatePassNoDateFilter)
{
    const std::time_t far = std::time_t{1} << 62;
    const std::vector<WalkEntry> entries = {
        file("far", 1, kArchive, far),
        file("before", 1, kArchive, -far),
        file("now", 1, kArchive, utc(2024, 3, 10)),
        folder("farFolder", kDirectory, far),
    };
    ListingOptions options = test::startOptions();
    options.dateFilterEnabled = true;
    for (const auto& [from, to] : {std::pair{1, 9999}, std::pair{-300000, 300000}, std::pair{1, 2147483647}}) {
        options.dateFrom = LocalDateTime{from, 1, 1};
        options.dateTo = LocalDateTime{to, 12, 31};
        EXPECT_EQ(verdicts(EntryFilter(options), entries), "HHLH") << from << " to " << to;
    }
}

// Days with a clock change are 23 or 25 hours long; a day is still midnight to midnight.
TEST(EntryFilter, DateFilterOverDaylightSavingChanges)
{
    test::ScopedTimeZone zone("Europe/Berlin");
    struct Case {
        const char* what;
        LocalDateTime day;
        std::vector<WalkEntry> entries;
        const char* expected;
    } cases[] = {
        {"23 hours: 31 March 2024",
         {2024, 3, 31},
         {file("before", 0, kArchive, utc(2024, 3, 30, 22, 59, 59)), file("first", 0, kArchive, utc(2024, 3, 30, 23)),
          file("last", 0, kArchive, utc(2024, 3, 31, 21, 59, 59)), file("after", 0, kArchive, utc(2024, 3, 31, 22))},
         "HLLH"},
        {"25 hours: 27 October 2024",
         {2024, 10, 27},
         {file("before", 0, kArchive, utc(2024, 10, 26, 21, 59, 59)), file("first", 0, kArchive, utc(2024, 10, 26, 22)),
          file("last", 0, kArchive, utc(2024, 10, 27, 22, 59, 59)), file("after", 0, kArchive, utc(2024, 10, 27, 23))},
         "HLLH"},
    };
    for (const Case& c : cases) {
        ListingOptions options = test::startOptions();
        options.dateFilterEnabled = true;
        options.dateFrom = options.dateTo = c.day;
        EntryFilter filter(options);
        EXPECT_EQ(verdicts(filter, c.entries), c.expected) << c.what << "\n  entries: " << namesOf(c.entries);
    }
}

TEST(EntryFilter, MasksHideFoldersWhateverTheirName)
{
    const std::vector<WalkEntry> entries = {
        file("notes.txt"),     file("NOTES2.TXT"),
        file("a.b.txt"),       file("letter.dot"),
        file("readme"),        file("notes."),
        file("notes.old.txt"), file("abcdefghijklmnopqrst"),
        folder("docs.txt"),    file("x.txt", 0, kArchive, 0, 2),
    };
    struct Case {
        std::string mask;
        const char*
            expected; // notes.txt NOTES2.TXT a.b.txt letter.dot readme notes. notes.old.txt abc..t docs.txt x.txt
    } cases[] = {
        {"", "LLLLLLLLLL"},          {"*.txt", "LLLHHHLHHL"}, // the folder docs.txt gets no line but is entered
        {"NOTES.*", "LHHHHLHHHH"},   {"*.", "HHHHLLHLHH"},       {"*.doc; *.dot", "HHHLHHHHHH"},
        {"*.txt;*.*", "LLLLLLLLLL"}, {"readme;", "HHHHLHHHHH"},  {";", "HHHHHHHHHH"},
        {"*", "LLLLLLLLHL"},         {"docs.txt", "HHHHHHHHHH"}, {"abcdefghijklmnopqrstuvwxy", "HHHHHHHLHH"},
        {"*.txt; r*", "LLLHLHLHHL"}, {"notes*", "LLHHHLLHHH"},   {"?????", "HHHHHHHHHL"},
    };
    for (const Case& c : cases) {
        ListingOptions options = test::startOptions();
        options.fileMask = c.mask;
        EntryFilter filter(options);
        EXPECT_EQ(verdicts(filter, entries), c.expected)
            << "mask \"" << c.mask << "\"\n  entries: " << namesOf(entries);
    }
}

} // namespace
} // namespace zintrel
