#include "CsvListing.h"

#include "Attributes.h"
#include "platform/OutputFile.h"

#include <charconv>

namespace zintrel {

namespace {

constexpr const char* kTypeLabel = "Type";
constexpr const char* kSizeLabel = "Size (bytes)";
constexpr const char* kFolderType = "folder";
constexpr const char* kFileType = "file";

bool needsQuotes(std::string_view text) { return text.find_first_of("\",\r\n") != std::string_view::npos; }

void appendNumber(std::string& row, std::int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    row.append(buffer, result.ptr);
}

} // namespace

CsvListing::CsvListing(const ListingOptions& options, OutputFile& out)
    : m_out(out)
    , m_columns(shownColumns(options))
{
}

// One field made of two parts (a path is its folder and its name), quoted as a whole.
void CsvListing::appendField(std::string_view first, std::string_view second)
{
    if (!needsQuotes(first) && !needsQuotes(second)) {
        m_row += first;
        m_row += second;
        return;
    }
    m_row += '"';
    for (std::string_view part : {first, second}) {
        for (char c : part) {
            if (c == '"')
                m_row += '"';
            m_row += c;
        }
    }
    m_row += '"';
}

void CsvListing::begin(const std::string&, std::time_t)
{
    m_row.clear();
    for (const ListingColumn* column : m_columns) {
        appendField(column->id == ColumnId::Size ? kSizeLabel : column->label);
        m_row += ',';
    }
    m_row += kTypeLabel;
    m_row += "\r\n";
    m_out.write(m_row);
}

void CsvListing::folderEntered(std::string_view, int, bool) {}

void CsvListing::folderLeft() {}

void CsvListing::entry(const ListedEntry& entry)
{
    const bool isFolder = (entry.attributes & kDirectory) != 0;
    m_row.clear();
    for (const ListingColumn* column : m_columns) {
        switch (column->id) {
        case ColumnId::Name:
            appendField(entry.name);
            break;
        case ColumnId::Size:
            appendNumber(m_row, entry.size);
            break;
        case ColumnId::Attributes:
            appendAttributeLetters(m_row, entry.attributes);
            break;
        case ColumnId::DateTime:
            m_times.append(m_row, entry.time); // empty for a time without a local date
            break;
        case ColumnId::Path:
            appendField(entry.folder, entry.name);
            break;
        case ColumnId::Level:
            appendNumber(m_row, entry.level);
            break;
        }
        m_row += ',';
    }
    m_row += isFolder ? kFolderType : kFileType;
    m_row += "\r\n";
    m_out.write(m_row);
}

void CsvListing::finish(const ListingTotals&) {}

std::unique_ptr<ListingOutput> makeCsvListing(const OutputSetup& setup)
{
    return std::make_unique<CsvListing>(setup.options, setup.out);
}

} // namespace zintrel
