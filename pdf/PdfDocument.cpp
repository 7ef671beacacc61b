#include "PdfDocument.h"

#include "DescriptorDevice.h"
#include "SupplementaryGlyphs.h"
#include "pdfrewrite/PdfFinisher.h"
#include "pdfrewrite/PdfPermissions.h"
#include "platform/CancelToken.h"
#include "platform/FileDescriptor.h"
#include "platform/InputFile.h"
#include "platform/IoError.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIODevice>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>

#include <array>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <unistd.h>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace zintrel {

namespace {

constexpr double kA4Width = 595;
constexpr double kA4Height = 842;
// The largest page a PDF viewer must accept (200 inches).
constexpr double kMaxPageSide = 14400;
constexpr int kDrawingResolution = 72; // one device unit is one point
constexpr int kEmbedFontFlag = 1;
constexpr int kAes256Level = 1;

const char* const kInformationKeys[] = {nullptr, "/Author", "/Title", "/Subject", "/Keywords", "/Creator", "/Producer"};

[[noreturn]] void fail(const std::string& text) { throw std::runtime_error(text); }

QPageLayout pageLayout(double width, double height)
{
    // An exact match keeps a landscape size as given instead of snapping it to a named
    // portrait paper.
    QPageSize size(QSizeF(width, height), QPageSize::Point, QString(), QPageSize::ExactMatch);
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

// The installed family that draws name: itself, or its first installed substitute.
std::optional<QString> scalableFamily(const QString& name)
{
    QStringList candidates{name};
    candidates += QFont::substitutes(name);
    for (const QString& family : candidates) {
        if (QFontDatabase::hasFamily(family) && QFontDatabase::isScalable(family))
            return family;
    }
    return std::nullopt;
}

// QPdfWriter compresses every finished page through buffers of some tens of megabytes that
// it allocates and frees again at once. glibc would map and unmap each of them, and the
// kernel hands out zeroed pages anew every time: a third of the time of a long listing.
// Keeping such buffers in the heap lets the next page reuse the same memory; only the
// pages actually touched count, so the memory in use hardly changes.
void keepLargeBuffersInHeap()
{
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        constexpr int kLargestHeapBuffer = 32 << 20; // glibc's upper bound for this setting
        mallopt(M_MMAP_THRESHOLD, kLargestHeapBuffer);
        mallopt(M_TRIM_THRESHOLD, 2 * kLargestHeapBuffer);
    });
#endif
}

} // namespace

struct PdfPages::Data {
    std::unique_ptr<TempFile> drawing;
    std::vector<bool> drawnCharacters;
    GlyphCharacters glyphCharacters;
};

PdfPages::PdfPages() = default;
PdfPages::~PdfPages() = default;
PdfPages::PdfPages(PdfPages&&) noexcept = default;
PdfPages& PdfPages::operator=(PdfPages&&) noexcept = default;

struct PdfDocument::Impl {
    explicit Impl(const std::string& displayName)
        : displayName(displayName)
        , drawingFile(std::make_unique<TempFile>(temporaryFolder(), "zintrel-pdf-", ".pdf", displayName))
        , device(drawingFile->fd(), displayName)
        , writer(&device)
    {
        device.open(QIODevice::WriteOnly);
        writer.setResolution(kDrawingResolution);
        writer.setPageLayout(pageLayout(pageSize.width(), pageSize.height()));
        // No shaping: Latin text keeps one glyph per letter ("fi" stays two letters), so the
        // drawn text can be searched and copied as it was written.
        font.setFamilies({QStringLiteral("sans-serif")});
        font.setStyleHint(QFont::SansSerif);
        font.setStyleStrategy(QFont::PreferNoShaping);
    }

    void ensureStarted()
    {
        if (saved)
            fail("The PDF document has already been saved.");
        if (painter.isActive())
            return;
        if (!painter.begin(&writer))
            fail("The PDF document could not be started.");
        applyState();
    }

    void finishDrawing();

    void applyState()
    {
        painter.setFont(font);
        painter.setPen(color);
        // Every line runs left to right, whatever its first letter; names that run the
        // other way stay in their own isolates.
        painter.setLayoutDirection(Qt::LeftToRight);
    }

    std::string displayName;
    std::unique_ptr<TempFile> drawingFile; // handed over by TakePages
    DescriptorDevice device;
    QPdfWriter writer;
    QPainter painter;
    QFont font;
    QColor color = Qt::black;
    QSizeF pageSize{kA4Width, kA4Height};
    QSizeF nextPageSize{kA4Width, kA4Height};
    bool pageDrawn = false;
    bool saved = false;
    int pageIndex = 0; // of the current page, from 0
    std::vector<PdfOutlineItem> outline;
    std::vector<bool> drawnCharacters = std::vector<bool>(0x110000);
    SupplementaryGlyphs supplementaryGlyphs;
    std::vector<PdfPages> parts;
    std::map<int, std::string> information;
    bool encrypt = false;
    std::string ownerPassword;
    std::string userPassword;
    std::uint32_t permissions = 0;
};

PdfDocument::PdfDocument(const std::string& displayName)
{
    if (!QGuiApplication::instance())
        fail("PDF output needs the application's graphics support, which is not running.");
    keepLargeBuffersInHeap();
    m_impl = std::make_unique<Impl>(displayName);
}

PdfDocument::~PdfDocument()
{
    if (m_impl->painter.isActive())
        m_impl->painter.end();
}

double PdfDocument::pagewidth() const { return m_impl->pageSize.width(); }

double PdfDocument::pageheight() const { return m_impl->pageSize.height(); }

void PdfDocument::setpagedimensions(double width, double height)
{
    if (!(width > 0 && width <= kMaxPageSide && height > 0 && height <= kMaxPageSide))
        fail("The page size is not valid for a PDF document.");
    Impl& d = *m_impl;
    d.nextPageSize = QSizeF(width, height);
    if (!d.writer.setPageLayout(pageLayout(width, height)))
        fail("The page size is not valid for a PDF document.");
    if (!d.pageDrawn)
        d.pageSize = d.nextPageSize;
}

int PdfDocument::AddTrueTypeFont(const std::string& name, int flag)
{
    if (flag != kEmbedFontFlag)
        fail("Fonts can only be embedded in the PDF document.");
    std::optional<QString> family = scalableFamily(QString::fromStdString(name));
    if (!family)
        return 0;
    m_impl->font.setFamilies({*family});
    if (m_impl->painter.isActive())
        m_impl->painter.setFont(m_impl->font);
    return 1;
}

void PdfDocument::settextsize(int points)
{
    // Larger than the largest page is no text anybody can read, and the text engine's
    // arithmetic would not hold.
    if (points < 1 || points > kMaxPageSide)
        fail("The text size must lie between 1 and 14400 points.");
    m_impl->font.setPointSize(points);
    if (m_impl->painter.isActive())
        m_impl->painter.setFont(m_impl->font);
}

void PdfDocument::settextcolor(double red, double green, double blue)
{
    for (double part : {red, green, blue}) {
        if (!(part >= 0 && part <= 1))
            fail("A colour part must lie between 0 and 1.");
    }
    m_impl->color = QColor::fromRgbF(static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue));
    if (m_impl->painter.isActive())
        m_impl->painter.setPen(m_impl->color);
}

void PdfDocument::DrawText(int x, int y, const std::string& text)
{
    Impl& d = *m_impl;
    d.ensureStarted();
    d.pageDrawn = true;
    // QString::fromUtf8 turns every byte that is not UTF-8 into U+FFFD.
    QString line = QString::fromUtf8(text.data(), qsizetype(text.size()));
    bool supplementary = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        char16_t unit = line[i].unicode();
        char32_t c = unit;
        if (QChar::isHighSurrogate(unit) && i + 1 < line.size() && line[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, line[i + 1].unicode());
            ++i;
            supplementary = true;
        }
        d.drawnCharacters[c] = true;
    }
    // Only such lines pay for a layout, and only for characters new to the font.
    if (supplementary)
        d.supplementaryGlyphs.note(line, d.font);
    d.painter.drawText(QPointF(x, d.pageSize.height() - y), line);
}

void PdfDocument::newpage()
{
    Impl& d = *m_impl;
    d.ensureStarted();
    if (!d.writer.newPage())
        fail("A new page could not be added to the PDF document.");
    d.pageSize = d.nextPageSize;
    d.pageDrawn = true; // the page exists now; a size change waits for the next one
    ++d.pageIndex;
    d.applyState();
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

PdfPages PdfDocument::TakePages()
{
    Impl& d = *m_impl;
    d.finishDrawing();
    PdfPages pages;
    pages.m_data = std::make_unique<PdfPages::Data>();
    pages.m_data->drawing = std::move(d.drawingFile);
    pages.m_data->drawnCharacters = std::move(d.drawnCharacters);
    // Read from the fonts of this thread.
    pages.m_data->glyphCharacters = d.supplementaryGlyphs.characters();
    return pages;
}

void PdfDocument::AppendPages(PdfPages pages)
{
    if (!pages.m_data)
        fail("Only pages a document has drawn can be appended.");
    if (m_impl->saved)
        fail("The PDF document has already been saved.");
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

void PdfDocument::Impl::finishDrawing()
{
    // A document nobody drew on still gets its one page.
    ensureStarted();
    if (!painter.end())
        fail("The PDF document could not be finished.");
    saved = true;
    device.finish();
}

void PdfDocument::SaveTo(OutputFile& out, const CancelToken& cancel)
{
    Impl& d = *m_impl;
    d.finishDrawing();
    std::vector<InputFile> drawings{InputFile(d.drawingFile->fd(), d.displayName)};
    for (const PdfPages& part : d.parts) {
        const PdfPages::Data& p = *part.m_data;
        drawings.emplace_back(p.drawing->fd(), d.displayName);
        for (std::size_t c = 0; c < p.drawnCharacters.size(); ++c) {
            if (p.drawnCharacters[c])
                d.drawnCharacters[c] = true;
        }
    }

    PdfFinish finish;
    for (const auto& [key, value] : d.information)
        finish.information[kInformationKeys[key]] = value;
    finish.encrypt = d.encrypt;
    finish.userPassword = d.userPassword;
    finish.ownerPassword = d.ownerPassword;
    finish.permissions = d.permissions;
    finish.outline = std::move(d.outline);
    const std::vector<bool>& drawn = d.drawnCharacters;
    finish.drawn = [&drawn](char32_t c) { return c < drawn.size() && drawn[c]; };
    finish.glyphCharacters = d.supplementaryGlyphs.characters();
    for (PdfPages& part : d.parts) {
        for (auto& [font, glyphs] : part.m_data->glyphCharacters)
            finish.glyphCharacters[font].merge(glyphs);
    }
    std::vector<const InputFile*> drawingList;
    for (const InputFile& drawing : drawings)
        drawingList.push_back(&drawing);
    try {
        finishPdf(drawingList, out, finish, cancel);
    } catch (const IoError&) {
        throw;
    } catch (const std::exception& error) {
        // qpdf's own failures and an unreadable drawing alike.
        fail(std::string("The PDF document could not be written: ") + error.what());
    }
}

} // namespace zintrel
