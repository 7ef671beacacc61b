#include "TestListing.h"

#include "TempTree.h"

#include "listing/ListingHeader.h"
#include "listing/TextListing.h"
#include "platform/FileDescriptor.h"
#include "platform/OutputFile.h"

#include <fcntl.h>
#include <functional>

namespace zintrel::test {
namespace {

TEST(ListingHeader, FilterLineAndColumnLine)
{
    struct Case {
        const char* what;
        std::function<void(ListingOptions&)> set;
        std::string filters;
        std::string columns;
    } cases[] = {
        {"defaults", [](ListingOptions&) {},
         "Exclude attributes:    Attributes:", "Columns:  Name, Size, Attributes, Date and Time, Path, Level, "},
        {"all columns off",
         [](ListingOptions& o) {
             o.showName = o.showSize = o.showAttributes = o.showDateTime = o.showPath = o.showLevel = false;
         },
         "Exclude attributes:    Attributes:", "Columns:  "},
        {"mask *.* is printed", [](ListingOptions& o) { o.fileMask = "*.*"; },
         "Exclude attributes:  Mask:*.*;   Attributes:", ""},
        {"mask as typed", [](ListingOptions& o) { o.fileMask = "*.doc; *.dot"; },
         "Exclude attributes:  Mask:*.doc; *.dot;   Attributes:", ""},
        {"size at most",
         [](ListingOptions& o) {
             o.sizeFilterEnabled = true;
             o.sizeFilterMode = SizeFilterMode::AtMost;
             o.sizeFilterKb = 100;
         },
         "Exclude attributes:  Size:at most 100 Kb;   Attributes:", ""},
        {"date filter prints the dates with their time of day",
         [](ListingOptions& o) {
             o = ListingOptions::defaults(2003, 6, 18);
             o.dateFilterEnabled = true;
             o.dateTo.day = 20;
         },
         "Exclude attributes:  Date:18.06.2003 11:48:27--20.06.2003 11:49:24;   Attributes:", ""},
        {"date at midnight shows the date alone",
         [](ListingOptions& o) {
             o.dateFilterEnabled = true;
             o.dateFrom = LocalDateTime{2024, 2, 29, 0, 0, 0, 0};
         },
         "Exclude attributes:  Date:29.02.2024--01.01.2024 11:49:24;   Attributes:", ""},
        {"only any file", [](ListingOptions& o) { o.excludeAnyFile = true; },
         "Exclude attributes:    Attributes:Any file ", ""},
        {"hidden and archive",
         [](ListingOptions& o) {
             o.excludeHidden = true;
             o.excludeArchive = true;
         },
         "Exclude attributes:    Attributes:Hidden, Archive, ", ""},
        {"every piece, in order",
         [](ListingOptions& o) {
             o.fileMask = "*.txt";
             o.sizeFilterEnabled = true;
             o.sizeFilterKb = 10;
             o.dateFilterEnabled = true;
             o.excludeReadOnly = o.excludeHidden = o.excludeSystem = o.excludeVolumeId = true;
             o.excludeDirectory = o.excludeArchive = o.excludeAnyFile = true;
         },
         "Exclude attributes:  Mask:*.txt; Size:at least 10 Kb; Date:01.01.2024 11:48:27--01.01.2024 11:49:24;   "
         "Attributes:Read Only, Hidden, System, Volume ID, Directory, Archive, Any file ",
         ""},
    };
    DateTimeText dates(kFormat);
    for (const Case& c : cases) {
        ListingOptions options = startOptions();
        c.set(options);
        EXPECT_EQ(filterLine(options, dates), c.filters) << c.what;
        if (!c.columns.empty()) {
            EXPECT_EQ(columnLine(options), c.columns) << c.what;
        }
    }
}

// Header lines never begin with a blank, whatever the date format: that is how they are
// told from entry lines, and drawn black in a PDF.
TEST(ListingHeader, FirstLineNeverBeginsWithABlank)
{
    TempTree tree;
    const std::string target = tree.path("out.txt");
    for (const char* format : {"%e.%m.%y", "  %d.%m.%Y", "%d.%m.%Y"}) {
        DateTimeText dates(DateTimeFormat{format, "%H:%M:%S"});
        FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        OutputFile out(fd.get(), target);
        TextLines written(out);
        writeListingHeader(written, "/srv", startOptions(), dates, localTime(2026, 12, 8, 9, 5, 0));
        out.flush();
        std::vector<std::string> lines = listingLines(readFile(target));
        ASSERT_EQ(written.count(), 5);
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[0],
                  std::string(format).find("%e") != std::string::npos ? "8.12.26 09:05:00" : "08.12.2026 09:05:00")
            << format;
    }
}

} // namespace
} // namespace zintrel::test
