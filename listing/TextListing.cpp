#include "TextListing.h"

#include "ListingHeader.h"
#include "ListingOptions.h"
#include "ListingText.h"
#include "platform/OutputFile.h"

#include <algorithm>

namespace zintrel {

void TextLines::line(std::string_view text)
{
    m_out.write(text);
    m_out.endLine();
    ++m_count;
}

void TextLines::endedLine(std::string_view text)
{
    m_out.write(text);
    ++m_count;
}

TextListing::TextListing(const ListingOptions& options, OutputFile& out, const DateTimeFormat& dateTimeFormat,
                         const NameForm* form)
    : m_options(options)
    , m_lines(out)
    , m_dates(dateTimeFormat)
    , m_form(form)
    , m_columns(shownColumns(options))
    , m_indentSize(options.indentSize)
    , m_separator(padRight("", options.fieldSpacing))
    , m_context{m_dates, {}, form, {}}
{
}

void TextListing::begin(const std::string& folder, std::time_t now)
{
    writeListingHeader(m_lines, folder, m_options, m_dates, now, m_form);
}

// The Path column is made fit for one line once per folder, not once per entry.
void TextListing::folderEntered(std::string_view path, int, bool)
{
    m_shownLengths.push_back(m_shownFolder.size());
    m_shownFolder.clear();
    appendOneLine(m_shownFolder, path);
    m_context.shownFolder = m_shownFolder;
}

void TextListing::folderLeft()
{
    if (m_shownLengths.empty())
        return;
    m_shownFolder.resize(m_shownLengths.back());
    m_shownLengths.pop_back();
    m_context.shownFolder = m_shownFolder;
}

void TextListing::entry(const ListedEntry& entry)
{
    // At least one blank: that tells an entry line from the header and the footer.
    m_line.assign(static_cast<std::size_t>(std::max(1, (entry.level - 1) * m_indentSize)), ' ');
    for (const ListingColumn* column : m_columns) {
        column->appendText(m_line, entry, m_context);
        m_line += m_separator;
    }
    m_line += "\r\n";
    m_lines.endedLine(m_line);
}

void TextListing::finish(const ListingTotals& totals) { writeListingFooter(m_lines, totals); }

std::unique_ptr<ListingOutput> makeTextListing(const OutputSetup& setup)
{
    return std::make_unique<TextListing>(setup.options, setup.out, setup.dateTimeFormat);
}

} // namespace zintrel
