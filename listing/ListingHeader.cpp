#include "ListingHeader.h"

#include "ListingOptions.h"
#include "ListingRunState.h"
#include "ListingText.h"
#include "platform/DateTimeText.h"
#include "platform/OutputFile.h"

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

constexpr Label kColumnLabels[] = {
    {&ListingOptions::showName, "Name"},
    {&ListingOptions::showSize, "Size"},
    {&ListingOptions::showAttributes, "Attributes"},
    {&ListingOptions::showDateTime, "Date and Time"},
    {&ListingOptions::showPath, "Path"},
    {&ListingOptions::showLevel, "Level"},
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
    for (const Label& label : kColumnLabels) {
        if (options.*label.flag) {
            line += label.text;
            line += ", ";
        }
    }
    return line;
}

void writeListingHeader(OutputFile& out, const std::string& folder, const ListingOptions& options, DateTimeText& dates,
                        std::time_t now, bool isolateNames)
{
    // Header lines never begin with a blank, which is what tells them from entry lines;
    // a short date such as %e's " 8.12.26" would.
    const std::string written = dates.format(now);
    std::string_view shown = written;
    while (!shown.empty() && shown.front() == ' ')
        shown.remove_prefix(1);
    out.write(shown);
    out.endLine();
    std::string processed = "Processed: ";
    const bool isolate = isolateNames && hasRightToLeft(folder);
    if (isolate)
        processed += kIsolateStart;
    appendOneLine(processed, folder);
    if (isolate)
        processed += kIsolateEnd;
    out.write(processed);
    out.endLine();
    out.write(filterLine(options, dates));
    out.endLine();
    out.write(columnLine(options));
    out.endLine();
    out.write(kAsterisks);
    out.endLine();
}

void writeListingFooter(OutputFile& out, const ListingRunState& state)
{
    out.write(kAsterisks);
    out.endLine();
    out.write("Folders:    " + std::to_string(state.folderCount));
    out.endLine();
    out.write("Files:      " + std::to_string(state.fileCount));
    out.endLine();
    out.write("Total size: " + std::to_string(state.totalSizeKb) + " Kb");
    out.endLine();
}

} // namespace zintrel
