#include "ListingHeader.h"

#include "ListingColumns.h"
#include "ListingOptions.h"
#include "ListingOutput.h"
#include "ListingText.h"
#include "TextListing.h"
#include "platform/DateTimeText.h"

#include <string_view>

namespace zintrel {

namespace {

const std::string kAsterisks(89, '*');

struct Label {
    bool ListingOptions::*flag;
    const char* text;
};

constexpr Label kExcludeLabels[] = {
    {&ListingOptions::excludeReadOnly, "Read Only"},  {&ListingOptions::excludeHidden, "Hidden"},
    {&ListingOptions::excludeSystem, "System"},       {&ListingOptions::excludeVolumeId, "Volume ID"},
    {&ListingOptions::excludeDirectory, "Directory"}, {&ListingOptions::excludeArchive, "Archive"},
};

} // namespace

std::string filterLine(const ListingOptions& options, const DateTimeText& dates)
{
    std::string line = "Exclude attributes:  ";
    if (!options.fileMask.empty()) {
        line += "Mask:";
        appendOneLine(line, options.fileMask);
        line += "; ";
    }
    if (options.sizeFilterEnabled) {
        line += "Size:";
        int mode = static_cast<int>(options.sizeFilterMode);
        if (mode == 0 || mode == 1)
            line += kSizeModeLabels[mode];
        line += ' ';
        line += std::to_string(options.sizeFilterKb);
        line += " Kb; ";
    }
    if (options.dateFilterEnabled) {
        line += "Date:";
        line += dates.format(options.dateFrom);
        line += "--";
        line += dates.format(options.dateTo);
        line += "; ";
    }
    line += "  Attributes:";
    for (const Label& label : kExcludeLabels) {
        if (options.*label.flag) {
            line += label.text;
            line += ", ";
        }
    }
    if (options.excludeAnyFile)
        line += "Any file ";
    return line;
}

std::string columnLine(const ListingOptions& options)
{
    std::string line = "Columns:  ";
    for (const ListingColumn* column : shownColumns(options)) {
        line += column->label;
        line += ", ";
    }
    return line;
}

void writeListingHeader(TextLines& lines, const std::string& folder, const ListingOptions& options, DateTimeText& dates,
                        std::time_t now, const NameForm* form)
{
    // Header lines never begin with a blank, which is what tells them from entry lines;
    // a short date such as %e's " 8.12.26" would.
    const std::string written = dates.format(now);
    std::string_view shown = written;
    while (!shown.empty() && shown.front() == ' ')
        shown.remove_prefix(1);
    lines.line(shown);
    std::string processed = "Processed: ";
    if (form) {
        std::string folderText;
        appendOneLine(folderText, folder);
        form->appendFolder(processed, folderText);
    } else {
        appendOneLine(processed, folder);
    }
    lines.line(processed);
    lines.line(filterLine(options, dates));
    lines.line(columnLine(options));
    lines.line(kAsterisks);
}

void writeListingFooter(TextLines& lines, const ListingTotals& totals)
{
    lines.line(kAsterisks);
    lines.line("Folders:    " + std::to_string(totals.folders));
    lines.line("Files:      " + std::to_string(totals.files));
    lines.line("Total size: " + std::to_string(totals.totalSizeKb) + " Kb");
}

} // namespace zintrel
