#pragma once

#include "ListingColumns.h"
#include "ListingOutput.h"
#include "platform/DateTimeText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

class OutputFile;

// The lines of a listing file as they go out: each ends in CR LF, and each is counted, so
// that whoever needs a line's number learns it from the lines themselves.
class TextLines {
public:
    explicit TextLines(OutputFile& out)
        : m_out(out)
    {
    }
    // text without its line end.
    void line(std::string_view text);
    // text that ends in its CR LF already.
    void endedLine(std::string_view text);
    // Lines written so far: the number of the last one, counted from 1.
    std::int64_t count() const { return m_count; }

private:
    OutputFile& m_out;
    std::int64_t m_count = 0;
};

// How names and paths go into a line for an output that needs them in a form of its own
// (a PDF's drawing keeps right-to-left names in their column). Every text given is already
// fit for one line.
class NameForm {
public:
    virtual ~NameForm() = default;
    virtual void appendName(std::string& line, std::string_view name) const = 0;
    // folder: the Path column's folder part, ending in '/'.
    virtual void appendPath(std::string& line, std::string_view folder, std::string_view name) const = 0;
    // The listed folder in the header.
    virtual void appendFolder(std::string& line, std::string_view folder) const = 0;
};

// The text listing: the five header lines, one entry line per listed entry (indentation and
// the chosen columns, each followed by the field separator), and the four footer lines.
// The columns, spacing and indentation are read from the options at construction. Write
// failures throw IoError.
class TextListing : public ListingOutput {
public:
    // form: null for names as they are.
    TextListing(const ListingOptions& options, OutputFile& out, const DateTimeFormat& dateTimeFormat,
                const NameForm* form = nullptr);

    void begin(const std::string& folder, std::time_t now) override;
    void folderEntered(std::string_view path, int level, bool listed) override;
    void folderLeft() override;
    void entry(const ListedEntry& entry) override;
    // Writes the footer; the caller flushes the file.
    void finish(const ListingTotals& totals) override;

    // Lines written so far; the last entry's line has this number.
    std::int64_t linesWritten() const { return m_lines.count(); }

private:
    const ListingOptions& m_options;
    TextLines m_lines;
    DateTimeText m_dates;
    const NameForm* m_form;
    std::vector<const ListingColumn*> m_columns;
    int m_indentSize;
    std::string m_separator;
    std::string m_shownFolder;               // the current folder as the Path column shows it
    std::vector<std::size_t> m_shownLengths; // its length for each folder above
    TextLineContext m_context;
    std::string m_line;
};

// The text listing into setup.out, flushed by the save.
std::unique_ptr<ListingOutput> makeTextListing(const OutputSetup& setup);

} // namespace zintrel
