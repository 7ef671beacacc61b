#pragma once

#include <ctime>
#include <string>

namespace zintrel {

class DateTimeText;
class NameForm;
class TextLines;
struct ListingOptions;
struct ListingTotals;

// The header's filter line and column line, without their line ends.
std::string filterLine(const ListingOptions& options, const DateTimeText& dates);
std::string columnLine(const ListingOptions& options);

// Writes the five header lines: the time of writing, the folder, the filters, the columns
// and the row of asterisks. form: how the folder goes into its line; null: as it is.
// Throws IoError when a write fails.
void writeListingHeader(TextLines& lines, const std::string& folder, const ListingOptions& options, DateTimeText& dates,
                        std::time_t now, const NameForm* form = nullptr);

// Writes the four footer lines from the totals of the run. Throws IoError.
void writeListingFooter(TextLines& lines, const ListingTotals& totals);

} // namespace zintrel
