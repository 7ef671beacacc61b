#pragma once

#include <ctime>
#include <string>

namespace zintrel {

class DateTimeText;
class OutputFile;
struct ListingOptions;
struct ListingRunState;

// The header's filter line and column line, without their line ends.
std::string filterLine(const ListingOptions& options, const DateTimeText& dates);
std::string columnLine(const ListingOptions& options);

// Writes the five header lines: the time of writing, the folder, the filters, the columns
// and the row of asterisks. isolateNames: the folder in bidi isolates, as the entry lines
// have it. Throws IoError when a write fails.
void writeListingHeader(OutputFile& out, const std::string& folder, const ListingOptions& options, DateTimeText& dates,
                        std::time_t now, bool isolateNames = false);

// Writes the four footer lines from the counters of the run. Throws IoError.
void writeListingFooter(OutputFile& out, const ListingRunState& state);

} // namespace zintrel
