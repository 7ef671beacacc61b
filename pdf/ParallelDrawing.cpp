#include "ParallelDrawing.h"

#include "PdfDocument.h"
#include "platform/CancelToken.h"
#include "platform/InputFile.h"
#include "platform/Rounding.h"
#include "platform/SaveSteps.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <limits>
#include <thread>
#include <vector>

namespace zintrel {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(50);
constexpr std::int64_t kProgressLines = 256;

// A thread gives up because another one failed.
struct Stopped {};

// Where each page's lines begin in the listing, and how many lines it has, its last one
// with or without a line end, as LineReader reads them. Every line that is not all
// printable ASCII goes to prepare on the way, in the listing's order.
struct PageStarts {
    std::vector<std::uint64_t> offsets; // of every page's first line
    std::int64_t lines = 0;
};

bool printableAscii(const std::string& line)
{
    for (unsigned char c : line) {
        if (c < 0x20 || c >= 0x7F)
            return false;
    }
    return true;
}

PageStarts pageStarts(const InputFile& file, const PageLayout& layout, const LinePreparer& prepare)
{
    PageStarts starts;
    LineReader reader(file);
    std::string line;
    std::int64_t nextStart = 0; // the line that begins the next page
    for (;;) {
        const std::uint64_t at = reader.offset();
        if (!reader.next(line))
            break;
        if (starts.lines == nextStart) {
            starts.offsets.push_back(at);
            nextStart = layout.firstLineOf(static_cast<int>(starts.offsets.size()));
        }
        ++starts.lines;
        if (prepare && !printableAscii(line))
            prepare(line);
    }
    return starts;
}

} // namespace

PageLayout::PageLayout(double pageHeight, int lineStep, int topMargin, int bottomLimit)
    : m_step(lineStep)
    , m_firstTop(roundHalfEven(pageHeight - topMargin) - lineStep)
    , m_laterTop(roundHalfEven(pageHeight - topMargin - lineStep))
{
    auto fitting = [&](std::int64_t top) { return top >= bottomLimit ? (top - bottomLimit) / m_step + 1 : 0; };
    m_firstPageLines = fitting(m_firstTop);
    m_laterPageLines = std::max<std::int64_t>(1, fitting(m_laterTop));
    m_laterFits = fitting(m_laterTop) > 0;
}

int PageLayout::pageOf(std::int64_t line) const
{
    if (line < m_firstPageLines)
        return 0;
    return static_cast<int>(1 + (line - m_firstPageLines) / m_laterPageLines);
}

std::int64_t PageLayout::heightOf(std::int64_t line) const
{
    if (line < m_firstPageLines)
        return m_firstTop - line * m_step;
    return m_laterTop - (line - m_firstPageLines) % m_laterPageLines * m_step;
}

std::int64_t PageLayout::firstLineOf(int page) const
{
    return page == 0 ? 0 : m_firstPageLines + static_cast<std::int64_t>(page - 1) * m_laterPageLines;
}

void drawPages(PdfDocument& document, const InputFile& listing, const PageLayout& layout, int threads,
               const LineDrawer& draw, const PartMaker& makePart, const LinePreparer& prepare,
               const CancelToken& cancel, const std::function<void(std::int64_t lines, int pages)>& progress)
{
    // Whole pages for every thread, about as many each; the lines counted as they will
    // be read. One thread reads on to the end.
    PageStarts starts;
    std::int64_t lineCount = std::numeric_limits<std::int64_t>::max();
    threads = std::max(threads, 1);
    if (threads > 1) {
        starts = pageStarts(listing, layout, prepare);
        lineCount = starts.lines;
        threads = std::clamp(threads, 1, std::max<int>(1, static_cast<int>(starts.offsets.size())));
    }
    const int pages = std::max<int>(1, static_cast<int>(starts.offsets.size()));
    std::vector<int> firstPages;
    for (int range = 0; range <= threads; ++range)
        firstPages.push_back(static_cast<int>(static_cast<std::int64_t>(pages) * range / threads));
    auto firstLine = [&](int range) { return range == threads ? lineCount : layout.firstLineOf(firstPages[range]); };
    auto offset = [&](int range) { return starts.offsets.empty() ? 0 : starts.offsets[firstPages[range]]; };

    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> drawnLines{0};
    std::atomic<int> begunPages{0};
    auto drawRange = [&](PdfDocument& target, int range) {
        LineReader reader(listing, offset(range));
        std::string line;
        // The target's current page is the range's first one.
        int page = firstPages[range];
        ++begunPages;
        for (std::int64_t number = firstLine(range); number < firstLine(range + 1); ++number) {
            cancel.check();
            if (stop.load(std::memory_order_relaxed))
                throw Stopped{};
            if (!reader.next(line))
                break;
            for (const int linePage = layout.pageOf(number); page < linePage; ++page) {
                target.newpage();
                ++begunPages;
            }
            draw(target, line, static_cast<int>(layout.heightOf(number)));
            std::int64_t drawn = drawnLines.fetch_add(1, std::memory_order_relaxed) + 1;
            if (range == 0 && progress && drawn % kProgressLines == 0)
                progress(drawn, begunPages.load());
        }
    };

    std::vector<PdfPages> parts(threads);
    std::vector<std::exception_ptr> failures(threads);
    std::vector<std::atomic<bool>> done(threads);
    std::vector<std::thread> workers;
    auto joinAll = [&] {
        for (std::thread& worker : workers)
            worker.join();
    };
    for (int range = 1; range < threads; ++range) {
        try {
            workers.emplace_back([&, range] {
                try {
                    // Drawn, finished and gone on this thread, whose fonts it uses.
                    std::unique_ptr<PdfDocument> part = makePart();
                    drawRange(*part, range);
                    parts[range] = part->TakePages();
                } catch (...) {
                    failures[range] = std::current_exception();
                    stop = true;
                }
                done[range] = true;
            });
        } catch (...) {
            // No thread to be had: those started stop, and the save fails.
            stop = true;
            joinAll();
            throw;
        }
    }
    try {
        drawRange(document, 0);
    } catch (...) {
        failures[0] = std::current_exception();
        stop = true;
    }
    // The others still draw: tell how far they are, and pass a cancel on.
    for (;;) {
        bool all = true;
        for (int range = 1; range < threads; ++range)
            all = all && done[range].load();
        if (progress)
            progress(drawnLines.load(), begunPages.load());
        if (all)
            break;
        if (cancel.raised())
            stop = true;
        std::this_thread::sleep_for(kProgressInterval);
    }
    joinAll();
    // The failure that stopped the others, not their stopping.
    for (const std::exception_ptr& failure : failures) {
        if (!failure)
            continue;
        try {
            std::rethrow_exception(failure);
        } catch (const Stopped&) {
        }
    }
    reachSaveStep(kStepRangesDrawn);
    for (int range = 1; range < threads; ++range)
        document.AppendPages(std::move(parts[range]));
}

} // namespace zintrel
