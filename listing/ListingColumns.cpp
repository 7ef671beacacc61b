#include "ListingColumns.h"

#include "Attributes.h"
#include "Kilobytes.h"
#include "ListingOutput.h"
#include "ListingText.h"
#include "TextListing.h"
#include "platform/DateTimeText.h"

#include <charconv>

namespace zintrel {

namespace {

void appendNumber(std::string& line, std::int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    line.append(buffer, result.ptr);
}

void appendName(std::string& line, const ListedEntry& entry, TextLineContext& context)
{
    if (!context.form) {
        appendOneLine(line, entry.name);
        return;
    }
    context.scratch.clear();
    appendOneLine(context.scratch, entry.name);
    context.form->appendName(line, context.scratch);
}

// A folder shows 0 Kb, a file at least 1 Kb.
void appendSize(std::string& line, const ListedEntry& entry, TextLineContext&)
{
    const bool isFolder = (entry.attributes & kDirectory) != 0;
    appendNumber(line, isFolder ? roundedKb(entry.size) : sizeValueKb(entry.size));
    line += " Kb";
}

void appendAttributes(std::string& line, const ListedEntry& entry, TextLineContext&)
{
    appendAttributeLetters(line, entry.attributes);
}

void appendDateTime(std::string& line, const ListedEntry& entry, TextLineContext& context)
{
    context.dates.append(line, entry.time);
}

void appendPath(std::string& line, const ListedEntry& entry, TextLineContext& context)
{
    if (!context.form) {
        line += context.shownFolder;
        appendOneLine(line, entry.name);
        return;
    }
    context.scratch.clear();
    appendOneLine(context.scratch, entry.name);
    context.form->appendPath(line, context.shownFolder, context.scratch);
}

void appendLevel(std::string& line, const ListedEntry& entry, TextLineContext&) { appendNumber(line, entry.level); }

constexpr ListingColumn kColumns[] = {
    {ColumnId::Name, &ListingOptions::showName, "Name", appendName},
    {ColumnId::Size, &ListingOptions::showSize, "Size", appendSize},
    {ColumnId::Attributes, &ListingOptions::showAttributes, "Attributes", appendAttributes},
    {ColumnId::DateTime, &ListingOptions::showDateTime, "Date and Time", appendDateTime},
    {ColumnId::Path, &ListingOptions::showPath, "Path", appendPath},
    {ColumnId::Level, &ListingOptions::showLevel, "Level", appendLevel},
};

} // namespace

std::span<const ListingColumn> listingColumns() { return kColumns; }

std::vector<const ListingColumn*> shownColumns(const ListingOptions& options)
{
    std::vector<const ListingColumn*> shown;
    for (const ListingColumn& column : kColumns) {
        if (options.*column.shown)
            shown.push_back(&column);
    }
    return shown;
}

} // namespace zintrel
