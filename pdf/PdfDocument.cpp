#include "PdfDocument.h"

#include "DocumentFonts.h"
#include "FontCatalog.h"
#include "TextShaper.h"
#include "pdfwrite/Flate.h"
#include "pdfwrite/PdfEncryption.h"
#include "pdfwrite/PdfFileWriter.h"
#include "pdfwrite/PdfFontWriter.h"
#include "pdfwrite/PdfOutline.h"
#include "pdfwrite/PdfPermissions.h"
#include "pdfwrite/PdfSyntax.h"
#include "platform/CancelToken.h"
#include "platform/FileDescriptor.h"
#include "platform/InputFile.h"
#include "platform/IoError.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <optional>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace zintrel {

namespace {

constexpr double kA4Width = kDefaultPageWidth;
constexpr double kA4Height = kDefaultPageHeight;
constexpr double kMaxPageSide = kMaxTextSize;
constexpr int kEmbedFontFlag = 1;
constexpr int kAes256Level = 1;
constexpr int kDefaultTextSize = 12;
// AES-256 takes the first 127 bytes of a password's UTF-8.
constexpr std::size_t kMaxPasswordBytes = 127;
// Page contents compress well at zlib's middle level; the best levels cost far more time
// for a few per cent.
constexpr int kContentCompression = 6;
// Pages a node of the page tree holds at most.
constexpr std::size_t kPagesPerNode = 64;

const char* const kInformationKeys[] = {nullptr, "/Author", "/Title", "/Subject", "/Keywords", "/Creator", "/Producer"};

[[noreturn]] void fail(const std::string& text) { throw std::runtime_error(text); }

bool sameNumber(double a, double b) { return std::abs(a - b) < 1e-9; }

// A page of the drawing: where its compressed contents lie, and its size.
struct PageRecord {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    double width = kA4Width;
    double height = kA4Height;
};

// The CIDs of every font that a drawing used.
using UsedCids = std::vector<std::vector<bool>>;

void markUsed(UsedCids& used, std::size_t font, std::uint32_t cid)
{
    if (used.size() <= font)
        used.resize(font + 1);
    std::vector<bool>& cids = used[font];
    if (cids.size() <= cid)
        cids.resize(std::max<std::size_t>(cid + 1, 256));
    cids[cid] = true;
}

void mergeUsed(UsedCids& into, const UsedCids& from)
{
    for (std::size_t font = 0; font < from.size(); ++font) {
        for (std::size_t cid = 0; cid < from[font].size(); ++cid) {
            if (from[font][cid])
                markUsed(into, font, static_cast<std::uint32_t>(cid));
        }
    }
}

std::string creationDate()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "D:%Y%m%d%H%M%SZ", &tm);
    return text;
}

} // namespace

struct PdfPages::Data {
    std::shared_ptr<DocumentFonts> fonts;
    std::unique_ptr<TempFile> drawing;
    std::vector<PageRecord> pages;
    UsedCids used;
};

PdfPages::PdfPages() = default;
PdfPages::~PdfPages() = default;
PdfPages::PdfPages(PdfPages&&) noexcept = default;
PdfPages& PdfPages::operator=(PdfPages&&) noexcept = default;

struct PdfDocument::Impl {
    Impl(std::string name, std::shared_ptr<DocumentFonts> sharedFonts)
        : displayName(std::move(name))
        , fonts(std::move(sharedFonts))
        , drawing(std::make_unique<TempFile>(temporaryFolder(), "zintrel-pdf-", ".pdf", displayName))
        , drawingOut(std::make_unique<OutputFile>(drawing->fd(), displayName))
    {
    }

    void ensureOpen() const
    {
        if (saved)
            fail("The PDF document has already been saved.");
    }

    int currentChain()
    {
        if (chain < 0)
            chain = fonts->addChain(FontCatalog::defaultFace());
        return chain;
    }

    // For each printable ASCII character the face of the chain draws in its own glyph, as
    // the face of the letter a does: that glyph's code, as literal string bytes.
    void prepareAscii()
    {
        if (asciiChain == chain)
            return;
        noteAsciiSeen();
        const int c0 = currentChain();
        asciiChain = c0;
        asciiFont = fonts->fontFor(c0, 'a');
        asciiCids.fill(0);
        asciiPlain.fill(false);
        for (std::string& bytes : asciiBytes)
            bytes.clear();
        const DrawingFont& face = fonts->font(asciiFont);
        for (char32_t c = 0x20; c < 0x7F; ++c) {
            const std::uint32_t glyph = face.glyph(c);
            if (fonts->fontFor(c0, c) == asciiFont && glyph != 0 && face.character(glyph) == c) {
                asciiPlain[c] = true;
                asciiCids[c] = glyph;
                std::string& bytes = asciiBytes[c];
                for (unsigned char b : {static_cast<unsigned char>(glyph >> 8), static_cast<unsigned char>(glyph)}) {
                    if (b == '(' || b == ')' || b == '\\')
                        bytes += '\\';
                    if (b == '\r')
                        bytes += "\\r";
                    else
                        bytes += static_cast<char>(b);
                }
            }
        }
    }

    // The glyphs the ASCII lines used, counted only now: per character it is a flag.
    void noteAsciiSeen()
    {
        for (std::size_t c = 0; c < asciiSeen.size(); ++c) {
            if (asciiSeen[c])
                markUsed(used, asciiFont, asciiCids[c]);
        }
        asciiSeen.fill(false);
    }

    void beginText()
    {
        if (inText)
            return;
        content += "BT\n";
        inText = true;
        contentFont = static_cast<std::size_t>(-1);
        lineSet = false;
        leading = 0;
        colorSet = false;
    }

    void setColor()
    {
        if (colorSet && color == contentColor)
            return;
        for (int i = 0; i < 3; ++i) {
            appendPdfNumber(content, color[static_cast<std::size_t>(i)]);
            content += ' ';
        }
        content += "rg\n";
        contentColor = color;
        colorSet = true;
    }

    void setFont(std::size_t font)
    {
        if (font == contentFont && sameNumber(contentSize, textSize))
            return;
        content += "/F";
        appendInteger(content, static_cast<std::int64_t>(font));
        content += ' ';
        appendInteger(content, textSize);
        content += " Tf\n";
        contentFont = font;
        contentSize = textSize;
    }

    // Moves to the line at (x, y); true when the next show may move there itself (').
    bool moveTo(int x, int y)
    {
        if (!lineSet) {
            appendInteger(content, x);
            content += ' ';
            appendInteger(content, y);
            content += " Td\n";
        } else if (x == lineX && lineY - y == leading && leading != 0) {
            lineY = y;
            return true;
        } else if (x == lineX && lineY > y) {
            leading = lineY - y;
            appendInteger(content, leading);
            content += " TL\n";
            lineY = y;
            return true;
        } else {
            appendInteger(content, x - lineX);
            content += ' ';
            appendInteger(content, y - lineY);
            content += " Td\n";
        }
        lineSet = true;
        lineX = x;
        lineY = y;
        return false;
    }

    void drawText(int x, int y, const std::string& text);
    void showRun(const ShapedRun& run, const std::string& text, bool& nextLine);
    void finishPage();
    void finishDrawing();
    void appendParts(std::vector<PageRecord>& records, std::vector<const InputFile*>& sources);

    std::string displayName;
    std::shared_ptr<DocumentFonts> fonts;
    std::unique_ptr<TempFile> drawing; // handed over by TakePages
    std::unique_ptr<OutputFile> drawingOut;
    std::vector<PageRecord> pages; // finished ones
    UsedCids used;
    std::unique_ptr<TextShaper> shaper;
    std::vector<ShapedRun> runs;

    int chain = -1;
    int textSize = kDefaultTextSize;
    std::array<double, 3> color{0, 0, 0};
    double pageWidth = kA4Width, pageHeight = kA4Height;
    double nextWidth = kA4Width, nextHeight = kA4Height;
    bool pageDrawn = false;
    bool saved = false;
    int pageIndex = 0;

    // The page being drawn, and what its contents have set so far.
    std::string content;
    bool inText = false;
    std::size_t contentFont = static_cast<std::size_t>(-1);
    double contentSize = 0;
    std::array<double, 3> contentColor{0, 0, 0};
    bool colorSet = false;
    bool lineSet = false;
    int lineX = 0, lineY = 0, leading = 0;
    std::string show; // codes of the string being shown

    int asciiChain = -2;
    std::size_t asciiFont = 0;
    std::array<std::uint32_t, 128> asciiCids{};
    std::array<bool, 128> asciiPlain{};
    std::array<std::string, 128> asciiBytes; // the code, escaped for a literal string
    std::array<bool, 128> asciiSeen{};

    std::vector<PdfOutlineItem> outline;
    std::vector<PdfPages> parts;
    std::map<int, std::string> information;
    bool encrypt = false;
    std::string ownerPassword;
    std::string userPassword;
    std::uint32_t permissions = 0;
};

void PdfDocument::Impl::drawText(int x, int y, const std::string& text)
{
    ensureOpen();
    pageDrawn = true;
    beginText();
    setColor();
    prepareAscii();
    bool ascii = true;
    for (unsigned char c : text)
        ascii = ascii && c < 0x80 && asciiPlain[c];
    if (ascii) {
        // Every character its own glyph in the first face, one after another.
        setFont(asciiFont);
        const bool nextLine = moveTo(x, y);
        content += '(';
        for (unsigned char c : text) {
            content += asciiBytes[c];
            asciiSeen[c] = true;
        }
        content += nextLine ? ") '\n" : ") Tj\n";
        return;
    }
    if (!shaper)
        shaper = std::make_unique<TextShaper>(*fonts);
    shaper->shape(text, currentChain(), runs);
    bool nextLine = moveTo(x, y);
    for (const ShapedRun& run : runs)
        showRun(run, text, nextLine);
    // A line that showed nothing still moves the reader to it.
    if (nextLine)
        content += "T*\n";
}

// One run as text-showing operators: a string where every glyph stands where the reader
// puts it, an array with the adjustments where shaping moved glyphs, a rise for glyphs
// raised or lowered, and marked content for texts no code can say.
void PdfDocument::Impl::showRun(const ShapedRun& run, const std::string& text, bool& nextLine)
{
    setFont(run.font);
    const DrawingFont& face = fonts->font(run.font);
    const double toThousandths = 1000.0 / face.unitsPerEm();
    std::string items;     // of the array being built
    bool adjusted = false; // the array holds adjustments
    double rise = 0;
    std::int64_t pen = 0;    // where shaping puts the pen, font units from the run's start
    std::int64_t reader = 0; // where the reader's pen stands
    std::size_t marked = 0;  // glyphs the open marked content still covers

    auto flush = [&] {
        if (!show.empty()) {
            appendLiteralString(items, show);
            show.clear();
        }
        if (items.empty())
            return;
        if (adjusted) {
            if (nextLine)
                content += "T*\n";
            content += '[' + items + "] TJ\n";
        } else {
            content += items;
            content += nextLine ? " '\n" : " Tj\n";
        }
        nextLine = false;
        items.clear();
        adjusted = false;
    };
    auto adjust = [&](std::int64_t by) {
        if (by == 0)
            return;
        if (!show.empty()) {
            appendLiteralString(items, show);
            show.clear();
        }
        appendPdfNumber(items, -static_cast<double>(by) * toThousandths);
        adjusted = true;
        reader += by;
    };
    auto beginMark = [&](std::uint32_t start, std::uint32_t length, std::size_t glyphs) {
        flush();
        content += "/Span << /ActualText ";
        appendLiteralString(content, textStringBytes(text.substr(start, length)));
        content += " >> BDC\n";
        marked = glyphs;
    };
    auto endMark = [&] {
        flush();
        content += "EMC\n";
    };

    for (const ShapedGlyph& glyph : run.glyphs) {
        GlyphCode code;
        if (glyph.own) {
            code = fonts->ownCode(run.font, glyph.glyph);
        } else {
            const std::u16string clusterText = utf16(std::string_view(text).substr(glyph.textStart, glyph.textLength));
            code = fonts->code(run.font, glyph.glyph, clusterText, glyph.advance);
        }
        // Texts no code can say go beside their glyphs: a cluster of more glyphs than
        // characters, or a glyph the font's own numbering must name.
        if (marked == 0 && glyph.spanGlyphs > 0)
            beginMark(glyph.spanStart, glyph.spanLength, glyph.spanGlyphs);
        else if (marked == 0 && code.markText && glyph.textLength > 0)
            beginMark(glyph.textStart, glyph.textLength, 1);
        const double glyphRise = glyph.yOffset * textSize / static_cast<double>(face.unitsPerEm());
        if (!sameNumber(glyphRise, rise)) {
            flush();
            appendPdfNumber(content, glyphRise);
            content += " Ts\n";
            rise = glyphRise;
        }
        adjust(pen + glyph.xOffset - reader);
        show.append(code.bytes, code.length);
        reader += code.advance;
        pen += glyph.advance;
        markUsed(used, run.font, code.cid);
        if (marked > 0 && --marked == 0)
            endMark();
    }
    adjust(pen - reader);
    flush();
    if (!sameNumber(rise, 0))
        content += "0 Ts\n";
}

void PdfDocument::Impl::finishPage()
{
    if (inText) {
        content += "ET\n";
        inText = false;
    }
    PageRecord record;
    record.width = pageWidth;
    record.height = pageHeight;
    record.offset = drawingOut->offset();
    if (!content.empty()) {
        const std::string packed = deflated(content, kContentCompression);
        drawingOut->write(packed);
        record.length = packed.size();
    }
    pages.push_back(record);
    content.clear();
}

void PdfDocument::Impl::finishDrawing()
{
    ensureOpen();
    finishPage();
    noteAsciiSeen();
    drawingOut->flush();
    saved = true;
}

PdfDocument::PdfDocument(const std::string& displayName)
    : m_impl(std::make_unique<Impl>(displayName, std::make_shared<DocumentFonts>()))
{
}

PdfDocument::~PdfDocument() = default;

double PdfDocument::pagewidth() const { return m_impl->pageWidth; }

double PdfDocument::pageheight() const { return m_impl->pageHeight; }

void PdfDocument::setpagedimensions(double width, double height)
{
    if (!(width > 0 && width <= kMaxPageSide && height > 0 && height <= kMaxPageSide))
        fail("The page size is not valid for a PDF document.");
    Impl& d = *m_impl;
    d.nextWidth = width;
    d.nextHeight = height;
    if (!d.pageDrawn) {
        d.pageWidth = width;
        d.pageHeight = height;
    }
}

int PdfDocument::AddTrueTypeFont(const std::string& name, int flag)
{
    if (flag != kEmbedFontFlag)
        fail("Fonts can only be embedded in the PDF document.");
    std::optional<FontFace> face = FontCatalog::find(name);
    if (!face)
        return 0;
    m_impl->chain = m_impl->fonts->addChain(*face);
    return 1;
}

void PdfDocument::settextsize(int points)
{
    // Larger than the largest page is no text anybody can read.
    if (points < 1 || points > kMaxPageSide)
        fail("The text size must lie between 1 and 14400 points.");
    m_impl->textSize = points;
}

void PdfDocument::settextcolor(double red, double green, double blue)
{
    for (double part : {red, green, blue}) {
        if (!(part >= 0 && part <= 1))
            fail("A colour part must lie between 0 and 1.");
    }
    m_impl->color = {red, green, blue};
}

void PdfDocument::DrawText(int x, int y, const std::string& text) { m_impl->drawText(x, y, text); }

void PdfDocument::PrepareText(const std::string& text)
{
    Impl& d = *m_impl;
    if (!d.shaper)
        d.shaper = std::make_unique<TextShaper>(*d.fonts);
    d.shaper->shape(text, d.currentChain(), d.runs);
    for (const ShapedRun& run : d.runs) {
        for (const ShapedGlyph& glyph : run.glyphs) {
            if (!glyph.own)
                d.fonts->code(run.font, glyph.glyph,
                              utf16(std::string_view(text).substr(glyph.textStart, glyph.textLength)), glyph.advance);
        }
    }
}

void PdfDocument::newpage()
{
    Impl& d = *m_impl;
    d.ensureOpen();
    d.finishPage();
    d.pageWidth = d.nextWidth;
    d.pageHeight = d.nextHeight;
    d.pageDrawn = true; // the page exists now; a size change waits for the next one
    ++d.pageIndex;
}

void PdfDocument::AddBookmark(const std::string& title, int parent, int top)
{
    AddBookmark(title, parent, m_impl->pageIndex, top);
}

void PdfDocument::AddBookmark(const std::string& title, int parent, int page, int top)
{
    Impl& d = *m_impl;
    if (parent < -1 || parent >= static_cast<int>(d.outline.size()))
        fail("A bookmark can only be nested under an earlier one.");
    if (page < 0)
        fail("A bookmark must lead to a page.");
    d.outline.push_back(PdfOutlineItem{title, parent, page, static_cast<double>(top)});
}

std::unique_ptr<PdfDocument> PdfDocument::makePart() const
{
    const Impl& d = *m_impl;
    d.ensureOpen();
    auto part = std::unique_ptr<PdfDocument>(new PdfDocument(d.displayName));
    Impl& p = *part->m_impl;
    p.fonts = d.fonts;
    p.chain = d.chain;
    p.textSize = d.textSize;
    p.color = d.color;
    p.pageWidth = p.nextWidth = d.nextWidth;
    p.pageHeight = p.nextHeight = d.nextHeight;
    return part;
}

PdfPages PdfDocument::TakePages()
{
    Impl& d = *m_impl;
    d.finishDrawing();
    PdfPages pages;
    pages.m_data = std::make_unique<PdfPages::Data>();
    pages.m_data->fonts = d.fonts;
    pages.m_data->drawing = std::move(d.drawing);
    pages.m_data->pages = std::move(d.pages);
    pages.m_data->used = std::move(d.used);
    return pages;
}

void PdfDocument::AppendPages(PdfPages pages)
{
    if (!pages.m_data || pages.m_data->fonts != m_impl->fonts)
        fail("Only pages a part of this document has drawn can be appended.");
    m_impl->ensureOpen();
    m_impl->parts.push_back(std::move(pages));
}

void PdfDocument::SetInformation(int key, const std::string& value)
{
    if (key < 1 || key >= static_cast<int>(std::size(kInformationKeys)))
        fail("Unknown document information entry " + std::to_string(key) + ".");
    m_impl->information[key] = value;
}

int PdfDocument::Permissions(int print, int copy, int change, int annotate, int fillForms, int assemble,
                             int accessibility, int printHighQuality)
{
    return static_cast<int>(
        permissionValue(print, copy, change, annotate, fillForms, assemble, accessibility, printHighQuality));
}

void PdfDocument::Encrypt(const std::string& ownerPassword, const std::string& userPassword, int level, int permissions)
{
    if (level != kAes256Level)
        fail("Unknown PDF encryption level " + std::to_string(level) + ".");
    if (ownerPassword.size() > kMaxPasswordBytes || userPassword.size() > kMaxPasswordBytes)
        fail("The password is too long for a PDF (at most 127 bytes).");
    Impl& d = *m_impl;
    d.encrypt = true;
    d.userPassword = userPassword;
    d.ownerPassword = ownerPassword.empty() ? randomPassword() : ownerPassword;
    d.permissions = static_cast<std::uint32_t>(permissions);
}

void PdfDocument::SaveToFile(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd)
        throw IoError(errno, path);
    OutputFile out(fd.get(), path);
    SaveTo(out, CancelToken::none());
    out.flush();
    if (int error = fd.close())
        throw IoError(error, path);
}

namespace {

// The page tree over pages, as nodes of at most kPagesPerNode kids: its numbers, and what
// each node holds.
struct TreeNode {
    int number = 0;
    std::vector<int> kids;
    std::size_t count = 0; // pages below
};

} // namespace

void PdfDocument::SaveTo(OutputFile& out, const CancelToken& cancel)
{
    Impl& d = *m_impl;
    d.finishDrawing();

    // Every drawing's pages, in order, with where their contents lie.
    std::vector<PageRecord> records = d.pages;
    std::vector<InputFile> drawings;
    drawings.reserve(d.parts.size() + 1);
    drawings.emplace_back(d.drawing->fd(), d.displayName);
    std::vector<std::size_t> sourceOf(records.size(), 0);
    UsedCids used = d.used;
    for (const PdfPages& part : d.parts) {
        drawings.emplace_back(part.m_data->drawing->fd(), d.displayName);
        for (const PageRecord& page : part.m_data->pages) {
            records.push_back(page);
            sourceOf.push_back(drawings.size() - 1);
        }
        mergeUsed(used, part.m_data->used);
    }

    try {
        std::unique_ptr<PdfEncryption> encryption;
        if (d.encrypt)
            encryption = std::make_unique<PdfEncryption>(d.userPassword, d.ownerPassword, d.permissions);
        PdfFileWriter writer(out, encryption.get(), cancel);

        // Numbers fixed by the document alone: catalog, page tree, resources, information,
        // the pages and their contents, the fonts, the outline; the writer numbers on.
        const int catalog = writer.newNumber();
        const int pagesRoot = writer.newNumber();
        const int resources = writer.newNumber();
        const int info = writer.newNumber();
        std::vector<int> pageNumbers(records.size()), contentNumbers(records.size());
        for (int& number : pageNumbers)
            number = writer.newNumber();
        for (std::size_t i = 0; i < records.size(); ++i)
            contentNumbers[i] = records[i].length > 0 ? writer.newNumber() : 0;
        std::vector<std::size_t> fontsUsed;
        for (std::size_t font = 0; font < used.size(); ++font) {
            if (std::find(used[font].begin(), used[font].end(), true) != used[font].end())
                fontsUsed.push_back(font);
        }
        std::vector<int> fontNumbers(fontsUsed.size());
        for (int& number : fontNumbers)
            number = writer.newNumber();
        const int outline = d.outline.empty() ? 0 : writer.newNumber();
        const int encrypt = encryption ? writer.newNumber() : 0;

        // The contents first: they are nearly all of the file, copied as they were drawn.
        std::string data;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (!contentNumbers[i])
                continue;
            data.resize(records[i].length);
            if (drawings[sourceOf[i]].readAt(records[i].offset, data.data(), data.size()) != data.size())
                throw IoError(EIO, d.displayName);
            writer.stream(contentNumbers[i], "/Filter /FlateDecode", data);
        }

        // The page tree, level by level up to one root.
        std::vector<TreeNode> level;
        for (std::size_t i = 0; i < pageNumbers.size(); i += kPagesPerNode) {
            TreeNode node;
            for (std::size_t k = i; k < std::min(pageNumbers.size(), i + kPagesPerNode); ++k)
                node.kids.push_back(pageNumbers[k]);
            node.count = node.kids.size();
            level.push_back(std::move(node));
        }
        std::vector<std::vector<TreeNode>> levels;
        while (level.size() > 1) {
            for (TreeNode& node : level)
                node.number = writer.newNumber();
            std::vector<TreeNode> above;
            for (std::size_t i = 0; i < level.size(); i += kPagesPerNode) {
                TreeNode node;
                for (std::size_t k = i; k < std::min(level.size(), i + kPagesPerNode); ++k) {
                    node.kids.push_back(level[k].number);
                    node.count += level[k].count;
                }
                above.push_back(std::move(node));
            }
            levels.push_back(std::move(level));
            level = std::move(above);
        }
        if (level.empty())
            level.push_back(TreeNode{});
        level.front().number = pagesRoot;
        levels.push_back(std::move(level));
        // Parents: of each page, and of each node.
        std::vector<int> pageParent(pageNumbers.size(), pagesRoot);
        for (std::size_t i = 0; i < pageNumbers.size(); ++i)
            pageParent[i] = levels.front()[i / kPagesPerNode].number;
        for (std::size_t l = 0; l < levels.size(); ++l) {
            for (std::size_t n = 0; n < levels[l].size(); ++n) {
                const TreeNode& node = levels[l][n];
                std::string text = "<< /Type /Pages";
                if (l + 1 < levels.size()) {
                    text += " /Parent ";
                    appendInteger(text, levels[l + 1][n / kPagesPerNode].number);
                    text += " 0 R";
                }
                text += " /Kids [";
                for (std::size_t k = 0; k < node.kids.size(); ++k) {
                    if (k > 0)
                        text += ' ';
                    appendInteger(text, node.kids[k]);
                    text += " 0 R";
                }
                text += "] /Count ";
                appendInteger(text, static_cast<std::int64_t>(node.count));
                if (l + 1 == levels.size()) {
                    text += " /Resources ";
                    appendInteger(text, resources);
                    text += " 0 R";
                }
                writer.object(node.number, text + " >>");
            }
        }
        for (std::size_t i = 0; i < records.size(); ++i) {
            std::string text = "<< /Type /Page /Parent ";
            appendInteger(text, pageParent[i]);
            text += " 0 R /MediaBox [0 0 ";
            appendPdfNumber(text, records[i].width);
            text += ' ';
            appendPdfNumber(text, records[i].height);
            text += ']';
            if (contentNumbers[i]) {
                text += " /Contents ";
                appendInteger(text, contentNumbers[i]);
                text += " 0 R";
            }
            writer.object(pageNumbers[i], text + " >>");
        }

        std::string fontList = "<< /Font <<";
        for (std::size_t k = 0; k < fontsUsed.size(); ++k) {
            fontList += " /F";
            appendInteger(fontList, static_cast<std::int64_t>(fontsUsed[k]));
            fontList += ' ';
            appendInteger(fontList, fontNumbers[k]);
            fontList += " 0 R";
        }
        writer.object(resources, fontList + " >> /ProcSet [/PDF /Text] >>");

        for (std::size_t k = 0; k < fontsUsed.size(); ++k) {
            const std::size_t font = fontsUsed[k];
            const DrawingFont& face = d.fonts->font(font);
            std::vector<FontGlyph> glyphs;
            std::vector<FontCode> codes;
            const std::vector<bool>& cids = used[font];
            for (std::uint32_t cid = 0; cid < cids.size(); ++cid) {
                if (!cids[cid])
                    continue;
                const DocumentFonts::CidUse use = d.fonts->cidUse(font, cid);
                glyphs.push_back(FontGlyph{cid, use.glyph, use.width});
                const GlyphCode code = d.fonts->codeOfCid(font, cid);
                codes.push_back(FontCode{std::string(code.bytes, code.length), cid, use.text});
            }
            std::sort(codes.begin(), codes.end(), [](const FontCode& a, const FontCode& b) { return a.code < b.code; });
            writeFont(writer, fontNumbers[k], face.program(), glyphs, codes);
        }

        if (outline)
            writeOutline(writer, outline, d.outline, pageNumbers);

        std::string root = "<< /Type /Catalog /Pages ";
        appendInteger(root, pagesRoot);
        root += " 0 R";
        if (outline) {
            // The outline shows in the reader's side panel as the document opens.
            root += " /Outlines ";
            appendInteger(root, outline);
            root += " 0 R /PageMode /UseOutlines";
        }
        if (encryption)
            root += " /Extensions << /ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >> >>";
        writer.object(catalog, root + " >>");

        std::string information = "<<";
        for (const auto& [key, value] : d.information) {
            information += ' ';
            information += kInformationKeys[key];
            information += ' ';
            information += writer.string(textStringBytes(value));
        }
        information += " /CreationDate " + writer.string(creationDate()) + " >>";
        writer.ownObject(info, information);
        if (encryption)
            writer.ownObject(encrypt, encryption->dictionary());

        std::string id = encryption ? encryption->documentId() : randomPassword().substr(0, 16);
        writer.finish(catalog, info, encryption ? std::optional<int>(encrypt) : std::nullopt, id);
    } catch (const IoError&) {
        throw;
    } catch (const SaveCancelled&) {
        throw;
    } catch (const std::exception& error) {
        fail(std::string("The PDF document could not be written: ") + error.what());
    }
}

} // namespace zintrel
