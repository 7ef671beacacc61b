#include "TestListing.h"

#include "TempTree.h"

#include <algorithm>
#include <cstdlib>
#include <grp.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace zintrel::test {

ListingOptions startOptions() { return ListingOptions::defaults(2024, 1, 1); }

SaveEnvironment testEnvironment(std::time_t now)
{
    SaveEnvironment environment;
    environment.dateTimeFormat = kFormat;
    environment.clock = [now] { return now; };
    return environment;
}

std::vector<std::string> listingLines(const std::string& content)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line has no CR LF: \"" << content.substr(start) << "\"";
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        if (line.empty())
            ADD_FAILURE() << "empty line after line " << lines.size();
        if (line.find_first_of("\r\n") != std::string::npos)
            ADD_FAILURE() << "lone CR or LF in line " << lines.size() + 1;
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> entryLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> entries;
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == ' ')
            entries.push_back(line);
    }
    return entries;
}

Listing makeListing(const std::string& folder, const ListingOptions& options, const std::string& target)
{
    Listing listing;
    SavePlan plan;
    plan.folder = folder;
    plan.target = target;
    plan.options = options;
    ScriptedUi ui;
    ListingRun run;
    listing.result = run.execute(plan, testEnvironment(), ui);
    listing.lines = listingLines(readFile(target));
    listing.entries = entryLines(listing.lines);
    EXPECT_GE(listing.lines.size(), 9u);
    EXPECT_EQ(listing.entries.size(), listing.lines.size() - 9) << "a header or footer line begins with a blank";
    EXPECT_EQ(listing.result.folders + listing.result.files, static_cast<std::int64_t>(listing.entries.size()));
    return listing;
}

Listing sortedListing(const std::string& folder, const ListingOptions& options, const std::string& target)
{
    Listing listing = makeListing(folder, options, target);
    std::sort(listing.entries.begin(), listing.entries.end());
    return listing;
}

::testing::AssertionResult sameLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected)
{
    std::ostringstream diff;
    std::size_t count = std::max(actual.size(), expected.size());
    bool same = actual.size() == expected.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string* a = i < actual.size() ? &actual[i] : nullptr;
        const std::string* e = i < expected.size() ? &expected[i] : nullptr;
        if (a && e && *a == *e)
            continue;
        same = false;
        diff << "line " << i + 1 << ":\n  expected: " << (e ? "[" + *e + "]" : "(none)")
             << "\n  actual:   " << (a ? "[" + *a + "]" : "(none)") << '\n';
    }
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual.size() << " lines, " << expected.size() << " expected\n"
                                         << diff.str();
}

std::vector<std::string> sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace zintrel::test
