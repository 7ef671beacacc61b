#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zintrel {

class CancelToken;
class InputFile;
class PdfDocument;

// Where the lines of a listing go: each page holds a fixed number of lines one font size
// apart, from a fixed first height, so any line's page and height follow from its number
// alone. A line goes to a new page when it would stand below the bottom limit; the first
// line of a page stands there whatever its height, so a font too large for the first page
// leaves that page empty, and one too large for any page puts each line on a page of its own.
class PageLayout {
public:
    // pageHeight in points, lineStep the font size; the first page starts lower than the
    // others by one step.
    PageLayout(double pageHeight, int lineStep, int topMargin, int bottomLimit);

    // Every page but the first holds more than one line, and the first one holds a line:
    // pages are worth drawing on threads of their own.
    bool regular() const { return m_firstPageLines > 0 && m_laterFits; }
    // Of the line with this number (from 0): its page (from 0) and its baseline height.
    int pageOf(std::int64_t line) const;
    std::int64_t heightOf(std::int64_t line) const;
    std::int64_t firstLineOf(int page) const;

private:
    std::int64_t m_step;
    std::int64_t m_firstTop; // baseline of the first page's first line
    std::int64_t m_laterTop; // that of every later page's first line
    std::int64_t m_firstPageLines;
    std::int64_t m_laterPageLines; // at least 1
    bool m_laterFits;
};

// Draws one line into a document: its colour, then its text at (x, y).
using LineDrawer = std::function<void(PdfDocument& document, const std::string& line, int y)>;
// Makes a document set up as the first one is (page size, font, text size), for a part.
using PartMaker = std::function<std::unique_ptr<PdfDocument>()>;
// Told every line of the listing that is not all printable ASCII, in order, before the
// threads draw any: what drawing it will need is settled in the order one thread would
// settle it.
using LinePreparer = std::function<void(const std::string& line)>;

// Draws every line of listing into document (whose first page is the current one) as
// layout places them, on threads threads at once, the calling one among them: each draws
// a range of whole pages into a document of its own, and the other documents' pages are
// then appended in order. One thread draws the whole listing into document itself; more
// threads first read the listing through once, for where each page begins and for
// prepare.
// progress is told the lines drawn so far and the pages begun, now and then, on the
// calling thread. Throws SaveCancelled when cancel is raised, or the first failure of any
// thread; the other threads stop then too.
void drawPages(PdfDocument& document, const InputFile& listing, const PageLayout& layout, int threads,
               const LineDrawer& draw, const PartMaker& makePart, const LinePreparer& prepare,
               const CancelToken& cancel, const std::function<void(std::int64_t lines, int pages)>& progress);

} // namespace zintrel
