#include "ListingPdfRenderer.h"

#include "PdfDocument.h"
#include "listing/FolderWalk.h"
#include "listing/ListingOptions.h"
#include "listing/ListingRun.h"
#include "platform/IoError.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

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

// Nearest integer, halves to the even neighbour.
int roundToInt(double value) { return static_cast<int>(std::nearbyint(value)); }

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

// Reads lines of any length; the line end (LF, CR LF or a lone CR) is not part of a line.
class LineReader {
public:
    explicit LineReader(const std::string& path)
        : m_path(path)
        , m_file(std::fopen(path.c_str(), "rbe"))
    {
        if (!m_file)
            throw IoError(errno, path);
    }
    ~LineReader()
    {
        if (m_file)
            std::fclose(m_file);
        std::free(m_buffer);
    }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool next(std::string& line)
    {
        errno = 0;
        ssize_t length = ::getdelim(&m_buffer, &m_capacity, '\n', m_file);
        if (length < 0) {
            if (std::ferror(m_file))
                throw IoError(errno ? errno : EIO, m_path);
            return false;
        }
        if (length > 0 && m_buffer[length - 1] == '\n')
            --length;
        if (length > 0 && m_buffer[length - 1] == '\r')
            --length;
        line.assign(m_buffer, static_cast<std::size_t>(length));
        return true;
    }

    void close()
    {
        std::FILE* file = m_file;
        m_file = nullptr;
        if (std::fclose(file) != 0)
            throw IoError(errno, m_path);
    }

private:
    std::string m_path;
    std::FILE* m_file;
    char* m_buffer = nullptr;
    std::size_t m_capacity = 0;
};

bool passwordsAcceptable(const ListingOptions& options)
{
    return !options.pdfSecurity || (!options.pdfPassword.empty() && options.pdfPassword == options.pdfPasswordConfirm);
}

} // namespace

std::string makerInformation() { return std::string(kMakerName) + "   (" + kMakerAddress + ")"; }

std::string productInformation() { return std::string(kProductName) + " (" + kMakerAddress + ")"; }

void ListingPdfRenderer::render(const std::string& listingPath, const std::string& outputPath,
                                const ListingOptions& options, const std::function<void(const std::string&)>& notice,
                                const std::atomic<bool>* cancel)
{
    // Checked before the walk already; checked again so no caller can draw a whole listing
    // only to throw it away.
    if (!passwordsAcceptable(options))
        throw std::runtime_error(kPasswordMessage);

    LineReader listing(listingPath);
    PdfDocument document;
    if (options.landscape) {
        double width = document.pagewidth();
        double height = document.pageheight();
        document.setpagedimensions(height, width);
    }
    const int fontSize = options.listingFont.pointSize;
    int y = roundToInt(document.pageheight() - kTopMargin);
    if (document.AddTrueTypeFont(options.listingFont.face, kEmbedFont) == 0 && notice)
        notice(kFontNotice);
    document.settextsize(fontSize);

    std::string line;
    while (listing.next(line)) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            throw SaveCancelled{};
        y -= fontSize;
        if (y < kBottomLimit) {
            document.newpage();
            document.settextsize(fontSize);
            y = roundToInt(document.pageheight() - kTopMargin - fontSize);
        }
        ColorFractions color = lineColor(line, options);
        document.settextcolor(color.red, color.green, color.blue);
        document.DrawText(kLeftEdge, y, line);
    }
    listing.close();

    document.SetInformation(kAuthorKey, options.pdfAuthor);
    document.SetInformation(kTitleKey, options.pdfTitle);
    document.SetInformation(kCreatorKey, makerInformation());
    document.SetInformation(kProducerKey, productInformation());

    const int print = options.allowPrint ? 1 : 0;
    const int copy = options.allowCopy ? 1 : 0;
    const int change = options.allowChange ? 1 : 0;
    int permissions = document.Permissions(print, copy, change, kAllowAnnotate, kAllowFillForms, kAllowAssemble,
                                           kSeventhFlag, print);
    if (options.pdfSecurity)
        document.Encrypt(options.pdfPassword, options.pdfPassword, kAes256, permissions);
    else
        document.Encrypt("", "", kAes256, permissions);
    document.SaveToFile(outputPath);
}

} // namespace zintrel
