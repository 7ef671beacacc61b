#pragma once

#include "tests/support/TestSupport.h"

#include "listing/ListingRun.h"
#include "listing/ScriptedUi.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zintrel::test {

// Formats pinned by every listing test; the time zone is pinned to UTC by the test main.
inline const DateTimeFormat kFormat{"%d.%m.%Y", "%H:%M:%S"};

// Options as at a start on 1 January 2024.
ListingOptions startOptions();

SaveEnvironment testEnvironment(std::time_t now = 0);

// Splits a listing file into its lines; fails the test when a line does not end in CR LF,
// holds a lone CR or LF, or is empty.
std::vector<std::string> listingLines(const std::string& content);

// The entry lines of a listing (those that begin with a blank).
std::vector<std::string> entryLines(const std::vector<std::string>& lines);

// The lines in byte order, for folders whose entries come in no defined order.
std::vector<std::string> sorted(std::vector<std::string> lines);

struct Listing {
    std::vector<std::string> lines;
    std::vector<std::string> entries; // sorted when made by sortedListing()
    SaveResult result;
};

// Lists folder with options into target (a text save) and reads the result back.
Listing makeListing(const std::string& folder, const ListingOptions& options, const std::string& target);

// The same with the entry lines sorted, for trees whose folder order is not defined.
Listing sortedListing(const std::string& folder, const ListingOptions& options, const std::string& target);

// Compares line by line and reports every differing line with its number.
::testing::AssertionResult sameLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected);

} // namespace zintrel::test
