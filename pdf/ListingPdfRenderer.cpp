#include "ListingPdfRenderer.h"

#include "ParallelDrawing.h"
#include "PdfDocument.h"
#include "listing/ListingOptions.h"
#include "listing/ListingProgress.h"
#include "listing/ListingRun.h"
#include "listing/SaveCancelled.h"
#include "platform/InputFile.h"
#include "platform/OutputFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <thread>

namespace zintrel {

namespace {

constexpr int kLeftEdge = 40;
constexpr double kTopMargin = 30;
constexpr int kBottomLimit = 50;
constexpr double kColorScale = 255.0;

constexpr int kAuthorKey = 1;
constexpr int kTitleKey = 2;
constexpr int kCreatorKey = 5;
constexpr int kProducerKey = 6;
constexpr int kEmbedFont = 1;
constexpr int kAes256 = 1;
// The permissions beyond print, copy and change: annotating and filling in forms stay
// allowed, assembling pages does not; the seventh flag is not used.
constexpr int kAllowAnnotate = 1;
constexpr int kAllowFillForms = 1;
constexpr int kAllowAssemble = 0;
constexpr int kSeventhFlag = 0;

// Folders show a size of "0 Kb"; every file shows at least 1 Kb.
constexpr const char* kFolderSizeMark = " 0 Kb";

// Listings shorter than this many lines a thread are drawn on one: starting a drawing
// costs more than the lines save.
constexpr std::int64_t kLinesPerThread = 20000;
constexpr unsigned kMaxDrawingThreads = 4;

// Nearest integer, halves to the even neighbour.
std::int64_t roundToInt(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

struct ColorFractions {
    double red, green, blue;
};

ColorFractions fractions(const RgbColor& color)
{
    return {color.red / kColorScale, color.green / kColorScale, color.blue / kColorScale};
}

ColorFractions lineColor(const std::string& line, const ListingOptions& options)
{
    // Header and footer lines never begin with a blank, entry lines always do.
    if (line.empty() || line.front() != ' ')
        return {0, 0, 0};
    return fractions(line.find(kFolderSizeMark) != std::string::npos ? options.folderColor : options.fileColor);
}

// One line of the listing with its baseline at height y, in the colour of its kind.
void drawLine(PdfDocument& document, const std::string& line, int y, const ListingOptions& options)
{
    ColorFractions color = lineColor(line, options);
    document.settextcolor(color.red, color.green, color.blue);
    document.DrawText(kLeftEdge, y, line);
}

int drawingThreads(const RenderHooks& hooks, const PageLayout& layout)
{
    if (!layout.regular() || hooks.lineCount <= 0)
        return 1;
    if (hooks.threads > 0)
        return hooks.threads;
    const std::int64_t byLength = hooks.lineCount / kLinesPerThread;
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxDrawingThreads);
    return static_cast<int>(std::clamp<std::int64_t>(byLength, 1, cores));
}

} // namespace

std::string makerInformation() { return std::string(kMakerName) + "   (" + kMakerAddress + ")"; }

std::string productInformation() { return std::string(kProductName) + " (" + kMakerAddress + ")"; }

void ListingPdfRenderer::render(const InputFile& listingFile, OutputFile& output, const ListingOptions& options,
                                const RenderHooks& hooks)
{
    // Checked before the walk already; checked again so no caller can draw a whole listing
    // only to throw it away.
    if (!options.passwordsAcceptable())
        throw std::runtime_error(kPasswordMessage);
    if (options.pdfSecurity && options.pdfPassword.size() > kMaxPasswordBytes)
        throw std::runtime_error(kPasswordTooLongMessage);

    const int fontSize = options.listingFont.pointSize;
    auto setUp = [&](PdfDocument& document) {
        if (options.landscape) {
            double width = document.pagewidth();
            double height = document.pageheight();
            document.setpagedimensions(height, width);
        }
        bool fontFound = document.AddTrueTypeFont(options.listingFont.face, kEmbedFont) != 0;
        document.settextsize(fontSize);
        return fontFound;
    };
    PdfDocument document(output.displayPath());
    if (!setUp(document) && hooks.notice)
        hooks.notice(kFontNotice);

    const PageLayout layout(document.pageheight(), fontSize, static_cast<int>(kTopMargin), kBottomLimit);
    const int threads = drawingThreads(hooks, layout);
    if (threads > 1) {
        auto draw
            = [&options](PdfDocument& target, const std::string& line, int y) { drawLine(target, line, y, options); };
        auto makePart = [&] {
            auto part = std::make_unique<PdfDocument>(output.displayPath());
            setUp(*part);
            return part;
        };
        auto tell = [&](std::int64_t lines, int pages) {
            if (hooks.progress)
                hooks.progress->drawing(lines, hooks.lineCount, pages);
        };
        drawInParallel(document, listingFile, layout, threads, draw, makePart, hooks.cancel, tell);
        // Each bookmark leads to where its line went.
        if (hooks.outline) {
            for (const OutlineEntry& bookmark : *hooks.outline) {
                const std::int64_t index = bookmark.line - 1;
                document.AddBookmark(bookmark.title, bookmark.parent, layout.pageOf(index),
                                     static_cast<int>(layout.heightOf(index)) + fontSize);
            }
        }
    } else {
        drawInOrder(document, listingFile, options, hooks);
    }
    finishDocument(document, output, options, hooks);
}

void ListingPdfRenderer::drawInOrder(PdfDocument& document, const InputFile& listingFile, const ListingOptions& options,
                                     const RenderHooks& hooks)
{
    LineReader listing(listingFile);
    const int fontSize = options.listingFont.pointSize;
    // 64 bits: a font of any size steps below the page without overflowing.
    std::int64_t y = roundToInt(document.pageheight() - kTopMargin);

    std::string line;
    std::int64_t lineNumber = 0;
    int page = 1;
    const std::vector<OutlineEntry> noOutline;
    const std::vector<OutlineEntry>& outline = hooks.outline ? *hooks.outline : noOutline;
    std::size_t nextBookmark = 0;
    while (listing.next(line)) {
        if (hooks.cancel && hooks.cancel->load(std::memory_order_relaxed))
            throw SaveCancelled{};
        y -= fontSize;
        if (y < kBottomLimit) {
            document.newpage();
            ++page;
            document.settextsize(fontSize);
            y = roundToInt(document.pageheight() - kTopMargin - fontSize);
        }
        drawLine(document, line, static_cast<int>(y), options);
        ++lineNumber;
        // A bookmark shows its line at the top of the window.
        for (; nextBookmark < outline.size() && outline[nextBookmark].line == lineNumber; ++nextBookmark) {
            const OutlineEntry& bookmark = outline[nextBookmark];
            document.AddBookmark(bookmark.title, bookmark.parent, static_cast<int>(y) + fontSize);
        }
        if (hooks.progress)
            hooks.progress->drawing(lineNumber, hooks.lineCount, page);
    }
}

void ListingPdfRenderer::finishDocument(PdfDocument& document, OutputFile& output, const ListingOptions& options,
                                        const RenderHooks& hooks)
{
    document.SetInformation(kAuthorKey, options.pdfAuthor);
    document.SetInformation(kTitleKey, options.pdfTitle);
    document.SetInformation(kCreatorKey, makerInformation());
    document.SetInformation(kProducerKey, productInformation());

    const int print = options.allowPrint ? 1 : 0;
    const int copy = options.allowCopy ? 1 : 0;
    const int change = options.allowChange ? 1 : 0;
    int permissions = document.Permissions(print, copy, change, kAllowAnnotate, kAllowFillForms, kAllowAssemble,
                                           kSeventhFlag, print);
    // The chosen password opens the document; the owner password stays random, so the
    // chosen permissions bind whoever opens it.
    if (options.pdfSecurity)
        document.Encrypt("", options.pdfPassword, kAes256, permissions);
    else
        document.Encrypt("", "", kAes256, permissions);
    if (hooks.progress)
        hooks.progress->finishing();
    document.SaveTo(output, hooks.cancel);
}

} // namespace zintrel
