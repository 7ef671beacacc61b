#include "RenderListingPdf.h"

#include "ParallelDrawing.h"
#include "PdfDocument.h"
#include "listing/ListingOptions.h"
#include "listing/ListingProgress.h"
#include "platform/InputFile.h"
#include "platform/OutputFile.h"
#include "platform/Rounding.h"
#include "platform/WebAddresses.h"

#include <algorithm>
#include <cstdint>
#include <thread>

namespace zintrel {

namespace {

constexpr int kLeftEdge = 40;
constexpr int kTopMargin = 30;
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

int drawingThreads(int chosen, std::int64_t lineCount, const PageLayout& layout)
{
    if (!layout.regular() || lineCount <= 0)
        return 1;
    if (chosen > 0)
        return chosen;
    const std::int64_t byLength = lineCount / kLinesPerThread;
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxDrawingThreads);
    return static_cast<int>(std::clamp<std::int64_t>(byLength, 1, cores));
}

// Information, permissions and encryption, then the document saved into target.
void finishDocument(PdfDocument& document, OutputFile& target, const ListingOptions& options, const PdfRendering& how)
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
    if (how.progress)
        how.progress->finishing();
    document.SaveTo(target, how.cancel);
}

} // namespace

std::string pdfLayoutRefusal(const ListingOptions& options)
{
    const int size = options.listingFont.pointSize;
    if (size < 1 || size > kMaxTextSize)
        return "The text size must lie between 1 and " + std::to_string(kMaxTextSize)
            + " points. Save operation aborted.";
    const double height = options.landscape ? kDefaultPageWidth : kDefaultPageHeight;
    const PageLayout layout(height, size, kTopMargin, kBottomLimit);
    if (!layout.regular()) {
        auto largest = [](double pageHeight) { return roundHalfEven(pageHeight - kTopMargin) - kBottomLimit; };
        return "The font is too large for a page of the PDF: at most " + std::to_string(largest(kDefaultPageWidth))
            + " points fit a landscape page, " + std::to_string(largest(kDefaultPageHeight))
            + " a portrait one. Save operation aborted.";
    }
    return {};
}

std::string makerInformation() { return std::string(kMakerName) + "   (" + kMakerWebSite + ")"; }

std::string productInformation() { return std::string(kProductName) + " (" + kMakerWebSite + ")"; }

void RenderListingPdf(const InputFile& listing, OutputFile& target, const ListingOptions& options,
                      const PdfRendering& how)
{
    auto setUp = [&options](PdfDocument& document) {
        if (options.landscape) {
            double width = document.pagewidth();
            double height = document.pageheight();
            document.setpagedimensions(height, width);
        }
        bool fontFound = document.AddTrueTypeFont(options.listingFont.face, kEmbedFont) != 0;
        document.settextsize(options.listingFont.pointSize);
        return fontFound;
    };
    PdfDocument document(target.displayPath());
    if (!setUp(document) && how.notice)
        how.notice(kFontNotice);

    const int fontSize = options.listingFont.pointSize;
    const PageLayout layout(document.pageheight(), fontSize, kTopMargin, kBottomLimit);
    auto draw = [&options](PdfDocument& part, const std::string& line, int y) { drawLine(part, line, y, options); };
    auto makePart = [&document] { return document.makePart(); };
    auto prepare = [&document](const std::string& line) { document.PrepareText(line); };
    auto tell = [&](std::int64_t lines, int pages) {
        if (how.progress)
            how.progress->drawing(lines, how.lineCount, pages);
    };
    drawPages(document, listing, layout, drawingThreads(how.threads, how.lineCount, layout), draw, makePart, prepare,
              how.cancel, tell);
    // Each bookmark leads to where its line went, shown at the top of the window.
    if (how.bookmarks) {
        for (const ListingBookmark& bookmark : *how.bookmarks) {
            const std::int64_t index = bookmark.line - 1;
            document.AddBookmark(bookmark.title, bookmark.parent, layout.pageOf(index),
                                 static_cast<int>(layout.heightOf(index)) + fontSize);
        }
    }
    finishDocument(document, target, options, how);
}

} // namespace zintrel
