#include "ListingLineWriter.h"

#include "EntryFilter.h"
#include "FolderWalk.h"
#include "ListingOptions.h"
#include "ListingText.h"
#include "platform/DateTimeText.h"
#include "platform/OutputFile.h"

#include <algorithm>
#include <charconv>

namespace zintrel {

ListingLineWriter::ListingLineWriter(const ListingOptions& options, OutputFile& out, DateTimeText& dates,
                                     bool isolateNames)
    : m_out(out)
    , m_dates(dates)
    , m_showName(options.showName)
    , m_showSize(options.showSize)
    , m_showAttributes(options.showAttributes)
    , m_showDateTime(options.showDateTime)
    , m_showPath(options.showPath)
    , m_showLevel(options.showLevel)
    , m_indentSize(options.indentSize)
    , m_isolateNames(isolateNames)
    , m_separator(padRight("", options.fieldSpacing))
{
}

void ListingLineWriter::folderEntered(std::string_view path)
{
    m_shownLengths.push_back(m_shownPath.size());
    m_rightToLeftAbove.push_back(m_shownPathRightToLeft);
    m_shownPath.clear();
    appendOneLine(m_shownPath, path);
    m_shownPathRightToLeft = m_isolateNames && hasRightToLeft(m_shownPath);
}

void ListingLineWriter::folderLeft()
{
    if (m_shownLengths.empty())
        return;
    m_shownPath.resize(m_shownLengths.back());
    m_shownLengths.pop_back();
    m_shownPathRightToLeft = m_rightToLeftAbove.back();
    m_rightToLeftAbove.pop_back();
}

void ListingLineWriter::appendNumber(std::int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_line.append(buffer, result.ptr);
}

void ListingLineWriter::write(const WalkEntry& entry)
{
    const bool isFolder = (entry.attributes & kDirectory) != 0;
    const std::int64_t kb = roundedKb(entry.size);
    m_line.assign(static_cast<std::size_t>(std::max(1, (entry.level - 1) * m_indentSize)), ' ');
    // Only a name that holds right-to-left text is put in isolates: the bidi algorithm they
    // start costs the PDF's drawing dearly, and names without such text cannot move.
    const bool isolateName = m_isolateNames && hasRightToLeft(entry.name);
    if (m_showName) {
        if (isolateName)
            m_line += kIsolateStart;
        appendOneLine(m_line, entry.name);
        if (isolateName)
            m_line += kIsolateEnd;
        m_line += m_separator;
    }
    if (m_showSize) {
        appendNumber(isFolder ? kb : kb + 1);
        m_line += " Kb";
        m_line += m_separator;
    }
    if (m_showAttributes) {
        static constexpr char kLetters[] = "RHSVDA";
        for (int bit = 0; bit < 6; ++bit) {
            if (entry.attributes & (1u << bit))
                m_line += kLetters[bit];
        }
        m_line += m_separator;
    }
    if (m_showDateTime) {
        m_dates.append(m_line, entry.time);
        m_line += m_separator;
    }
    if (m_showPath) {
        const bool isolatePath = isolateName || m_shownPathRightToLeft;
        if (isolatePath)
            m_line += kIsolateStart;
        m_line += m_shownPath;
        appendOneLine(m_line, entry.name);
        if (isolatePath)
            m_line += kIsolateEnd;
        m_line += m_separator;
    }
    if (m_showLevel) {
        appendNumber(entry.level);
        m_line += m_separator;
    }
    m_line += "\r\n";
    m_out.write(m_line);

    if (isFolder)
        ++m_folders;
    else
        ++m_files;
    m_totalSizeKb += kb + 1;
}

} // namespace zintrel
