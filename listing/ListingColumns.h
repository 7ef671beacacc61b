#pragma once

#include "ListingOptions.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

class DateTimeText;
class NameForm;
struct ListedEntry;

enum class ColumnId { Name, Size, Attributes, DateTime, Path, Level };

// What a column of a text line needs besides the entry.
struct TextLineContext {
    DateTimeText& dates;
    std::string_view shownFolder;   // the entry's folder as the Path column shows it
    const NameForm* form = nullptr; // null: names as they are, fit for one line
    std::string scratch;            // for a name on its way to the form
};

// One column of an entry line: the option that shows it, the header's label for it, and
// its text in a text listing. Other outputs take the same columns, in the same order, and
// format each by its id in their own way.
struct ListingColumn {
    ColumnId id;
    bool ListingOptions::*shown;
    const char* label;
    void (*appendText)(std::string& line, const ListedEntry& entry, TextLineContext& context);
};

// Every column, in the order lines and the header give them.
std::span<const ListingColumn> listingColumns();

// The columns the options show, in order.
std::vector<const ListingColumn*> shownColumns(const ListingOptions& options);

} // namespace zintrel
