#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

class DateTimeText;
class OutputFile;
struct ListingOptions;
struct WalkEntry;

// Writes the entry lines of a listing: the indentation and the chosen columns, each
// followed by the field separator, then CR LF; and counts what it wrote. The columns,
// spacing and indentation are taken from the options once, at construction. With
// isolateNames every name and path that holds right-to-left text is wrapped in bidi
// isolates (for a PDF's drawing; the text listing keeps the bytes as they are). Write
// failures throw IoError.
class ListingLineWriter {
public:
    ListingLineWriter(const ListingOptions& options, OutputFile& out, DateTimeText& dates, bool isolateNames = false);

    // The folder whose entries follow (its path ending in '/'), and the return from it;
    // the Path column is made fit for one line once per folder, not once per entry.
    void folderEntered(std::string_view path);
    void folderLeft();

    void write(const WalkEntry& entry);

    std::int64_t folders() const { return m_folders; }
    std::int64_t files() const { return m_files; }
    std::int64_t totalSizeKb() const { return m_totalSizeKb; }

private:
    void appendNumber(std::int64_t value);

    OutputFile& m_out;
    DateTimeText& m_dates;
    bool m_showName, m_showSize, m_showAttributes, m_showDateTime, m_showPath, m_showLevel;
    int m_indentSize;
    bool m_isolateNames;
    bool m_shownPathRightToLeft = false;  // the current folder's path needs the isolates
    std::vector<bool> m_rightToLeftAbove; // the same for each folder above
    std::string m_separator;
    std::string m_shownPath;                 // the current folder as the Path column shows it
    std::vector<std::size_t> m_shownLengths; // m_shownPath's length for each folder above
    std::string m_line;
    std::int64_t m_folders = 0;
    std::int64_t m_files = 0;
    std::int64_t m_totalSizeKb = 0;
};

} // namespace zintrel
