#include "ParallelDrawing.h"

#include "PdfDocument.h"
#include "listing/SaveCancelled.h"
#include "platform/InputFile.h"
#include "platform/SaveSteps.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

namespace zintrel {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(50);
constexpr std::int64_t kProgressLines = 256;
constexpr std::size_t kScanBuffer = 1 << 20;

// A thread gives up because another one failed.
struct Stopped {};

std::int64_t roundHalfEven(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

// Where each page's lines begin in the listing, and how many lines it has, its last one
// with or without a line end, as LineReader reads them.
struct PageStarts {
    std::vector<std::uint64_t> offsets; // of every page's first line
    std::int64_t lines = 0;
};

PageStarts pageStarts(const InputFile& file, const PageLayout& layout)
{
    PageStarts starts;
    std::string buffer(kScanBuffer, '\0');
    std::uint64_t at = 0;
    std::int64_t nextStart = 0; // the line that begins the next page
    bool open = false;          // bytes of a line without its end yet
    for (;;) {
        const std::size_t got = file.readAt(at, buffer.data(), buffer.size());
        if (got == 0)
            break;
        const char* data = buffer.data();
        const char* end = data + got;
        const char* p = data;
        while (p < end) {
            if (!open && starts.lines == nextStart) {
                starts.offsets.push_back(at + static_cast<std::uint64_t>(p - data));
                nextStart = layout.firstLineOf(static_cast<int>(starts.offsets.size()));
            }
            const char* newline = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!newline) {
                open = true;
                break;
            }
            open = false;
            ++starts.lines;
            p = newline + 1;
        }
        at += got;
    }
    if (open)
        ++starts.lines;
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
    m_laterPageLines = fitting(m_laterTop);
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

void drawInParallel(PdfDocument& document, const InputFile& listing, const PageLayout& layout, int threads,
                    const LineDrawer& draw, const PartMaker& makePart, const std::atomic<bool>* cancel,
                    const std::function<void(std::int64_t lines, int pages)>& progress)
{
    // Whole pages for every thread, about as many each; the lines counted as they will
    // be read.
    const PageStarts starts = pageStarts(listing, layout);
    const std::int64_t lineCount = starts.lines;
    const int pages = std::max<int>(1, static_cast<int>(starts.offsets.size()));
    threads = std::clamp(threads, 1, pages);
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
        int page = -1;
        for (std::int64_t number = firstLine(range); number < firstLine(range + 1); ++number) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                throw SaveCancelled{};
            if (stop.load(std::memory_order_relaxed))
                throw Stopped{};
            if (!reader.next(line))
                break;
            const int linePage = layout.pageOf(number);
            if (linePage != page) {
                if (page >= 0)
                    target.newpage();
                page = linePage;
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
        if (cancel && cancel->load())
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
