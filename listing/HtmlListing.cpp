#include "HtmlListing.h"

#include "Attributes.h"
#include "Kilobytes.h"
#include "ListingHeader.h"
#include "ListingOptions.h"
#include "ListingText.h"
#include "platform/OutputFile.h"

#include <charconv>
#include <cstdio>

namespace zintrel {

namespace {

#include "CatalogueAssets.inc"

// Entries of the first levels are markup; deeper ones are data drawn by the page.
constexpr int kMarkupLevels = 2;

// The length of the UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t utf8Length(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0)
            low = 0xA0;
        if (c == 0xED)
            high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0)
            low = 0x90;
        if (c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    }
    return length;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Calls emit(piece, isAsciiByte) for text made valid UTF-8 on one line.
template <typename Emit> void forCleanText(std::string_view text, Emit emit)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8Length(text, i);
        if (length == 0) {
            emit(kReplacement);
            ++i;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (length == 1 && (c < 0x20 || c == 0x7F))
            emit(std::string_view("?"));
        else
            emit(text.substr(i, length));
        i += length;
    }
}

void appendNumber(std::string& out, std::int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::string colorText(const RgbColor& color)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", color.red, color.green, color.blue);
    return buffer;
}

const char* cellClass(ColumnId id)
{
    switch (id) {
    case ColumnId::Name:
        return "n";
    case ColumnId::Size:
        return "c s";
    case ColumnId::Attributes:
        return "c a";
    case ColumnId::DateTime:
        return "c t";
    case ColumnId::Path:
        return "c p";
    case ColumnId::Level:
        return "c l";
    }
    return "c";
}

const char* columnKey(ColumnId id)
{
    switch (id) {
    case ColumnId::Name:
        return "name";
    case ColumnId::Size:
        return "size";
    case ColumnId::Attributes:
        return "attr";
    case ColumnId::DateTime:
        return "date";
    case ColumnId::Path:
        return "path";
    case ColumnId::Level:
        return "level";
    }
    return "";
}

std::string_view lastName(std::string_view path)
{
    if (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

void appendHtmlText(std::string& out, std::string_view text)
{
    forCleanText(text, [&](std::string_view piece) {
        switch (piece[0]) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += piece;
        }
    });
}

void appendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    forCleanText(text, [&](std::string_view piece) {
        if (piece == "\xE2\x80\xA8") {
            out += "\\u2028";
            return;
        }
        if (piece == "\xE2\x80\xA9") {
            out += "\\u2029";
            return;
        }
        switch (piece[0]) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '<':
            out += "\\u003c";
            break;
        case '>':
            out += "\\u003e";
            break;
        case '&':
            out += "\\u0026";
            break;
        default:
            out += piece;
        }
    });
    out += '"';
}

HtmlListing::HtmlListing(const ListingOptions& options, OutputFile& out, const DateTimeFormat& dateTimeFormat)
    : m_options(options)
    , m_out(out)
    , m_dates(dateTimeFormat)
    , m_columns(shownColumns(options))
{
}

void HtmlListing::begin(const std::string& folder, std::time_t now)
{
    std::string page;
    const std::string& title = m_options.pdfTitle.empty() ? folder : m_options.pdfTitle;
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src 'unsafe-inline'; "
            "style-src 'unsafe-inline'\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    appendHtmlText(page, title);
    page += "</title>\n<style>:root{--folder:" + colorText(m_options.folderColor)
        + ";--file:" + colorText(m_options.fileColor) + "}\n";
    page += kCatalogueStyle;
    page += "</style>\n</head>\n<body";
    if (!m_options.showName)
        page += " class=\"noname\"";
    page += ">\n<header>\n<h1>";
    appendHtmlText(page, title);
    page += "</h1>\n<pre class=\"meta\" id=\"header\">";
    // The header lines of the text listing.
    const std::string written = m_dates.format(now);
    std::string_view shown = written;
    while (!shown.empty() && shown.front() == ' ')
        shown.remove_prefix(1);
    appendHtmlText(page, shown);
    page += '\n';
    appendHtmlText(page, "Processed: " + folder);
    page += '\n';
    appendHtmlText(page, filterLine(m_options, m_dates));
    page += '\n';
    appendHtmlText(page, columnLine(m_options));
    page += "</pre>\n</header>\n"
            "<div class=\"bar\" id=\"bar\" hidden><input id=\"q\" type=\"search\" placeholder=\"Find a name\" "
            "aria-label=\"Find a name\" autocomplete=\"off\"><span id=\"found\" role=\"status\"></span></div>\n"
            "<noscript><p class=\"meta\" style=\"padding:6px 28px\">Without JavaScript the first two levels are "
            "shown and search is off.</p></noscript>\n"
            "<main>\n<div id=\"tree\">\n<div class=\"r head\">";
    for (const ListingColumn* column : m_columns) {
        page += "<span class=\"";
        page += cellClass(column->id);
        page += "\">";
        page += column->label;
        page += "</span>";
    }
    if (!m_options.showName)
        page += "<span class=\"n\"></span>";
    page += "</div>\n<ul>\n";
    m_out.write(page);
}

void HtmlListing::closePendingFolder()
{
    if (!m_pendingFolder)
        return;
    m_pendingFolder = false;
    m_out.write("</details></li>\n");
}

void HtmlListing::openChildren(Frame& frame)
{
    frame.written = true;
    if (frame.opensScript) {
        m_line = "<script type=\"application/json\" class=\"sub\" data-path=\"";
        appendHtmlText(m_line, std::string_view(m_path).substr(0, frame.pathLength));
        m_line += "\">[";
        m_out.write(m_line);
    } else if (frame.json) {
        m_out.write(",[");
    } else {
        m_out.write("<ul>\n");
    }
}

// Folders whose own line was filtered out appear, by their name, once they hold an entry.
void HtmlListing::writeOpenings()
{
    std::size_t first = m_frames.size();
    while (first > 0 && !m_frames[first - 1].written)
        --first;
    for (std::size_t i = first; i < m_frames.size(); ++i) {
        Frame& parent = m_frames[i - 1];
        Frame& frame = m_frames[i];
        const std::string_view name = lastName(std::string_view(m_path).substr(0, frame.pathLength));
        if (parent.json) {
            m_line.clear();
            if (parent.hasChildren)
                m_line += ',';
            m_line += "[2,";
            appendJsonString(m_line, name);
            m_line += ']';
        } else {
            m_line = "<li class=\"fo u\"><details><summary class=\"r\"><span class=\"n\">";
            appendHtmlText(m_line, name);
            m_line += "</span></summary>";
        }
        parent.hasChildren = true;
        m_out.write(m_line);
        openChildren(frame);
    }
}

void HtmlListing::folderEntered(std::string_view path, int level, bool listed)
{
    if (m_frames.empty()) {
        m_path.assign(path);
        m_frames.push_back(Frame{m_path.size(), false, false, true, false});
        return;
    }
    if (!listed)
        closePendingFolder();
    m_pendingFolder = false;
    const Frame& parent = m_frames.back();
    const bool json = parent.json || level > kMarkupLevels;
    m_path.assign(path);
    m_frames.push_back(Frame{m_path.size(), json, json && !parent.json, false, listed});
    if (listed)
        openChildren(m_frames.back());
}

void HtmlListing::closeFrame(const Frame& frame)
{
    if (frame.opensScript)
        m_out.write("]</script></details></li>\n");
    else if (frame.json)
        m_out.write("]");
    else if (frame.hasChildren)
        m_out.write("</ul></details></li>\n");
    else
        m_out.write("<li class=\"none\">(empty)</li></ul></details></li>\n");
}

void HtmlListing::folderLeft()
{
    closePendingFolder();
    if (m_frames.size() <= 1)
        return;
    const Frame frame = m_frames.back();
    m_frames.pop_back();
    m_path.resize(m_frames.back().pathLength);
    if (frame.written)
        closeFrame(frame);
}

void HtmlListing::entry(const ListedEntry& entry)
{
    closePendingFolder();
    writeOpenings();
    Frame& frame = m_frames.back();
    const bool isFolder = (entry.attributes & kDirectory) != 0;
    m_line.clear();
    if (frame.json) {
        if (frame.hasChildren)
            m_line += ',';
        m_line += isFolder ? "[1," : "[0,";
        appendJsonString(m_line, entry.name);
        for (const ListingColumn* column : m_columns) {
            switch (column->id) {
            case ColumnId::Size:
                m_line += ',';
                appendNumber(m_line, isFolder ? roundedKb(entry.size) : sizeValueKb(entry.size));
                break;
            case ColumnId::Attributes:
                m_line += ",\"";
                appendAttributeLetters(m_line, entry.attributes);
                m_line += '"';
                break;
            case ColumnId::DateTime:
                m_scratch.clear();
                m_dates.append(m_scratch, entry.time);
                m_line += ',';
                appendJsonString(m_line, m_scratch);
                break;
            default:
                break;
            }
        }
        m_line += ']';
    } else {
        m_line += isFolder ? "<li class=\"fo\"><details><summary class=\"r\">"
                           : "<li class=\"fi\"><div class=\"r\" tabindex=\"-1\">";
        if (!m_options.showName) {
            m_line += "<span class=\"n\">";
            appendHtmlText(m_line, entry.name);
            m_line += "</span>";
        }
        TextLineContext context{m_dates, {}, nullptr, {}};
        m_shownFolder.clear();
        appendOneLine(m_shownFolder, m_path);
        context.shownFolder = m_shownFolder;
        for (const ListingColumn* column : m_columns) {
            m_scratch.clear();
            column->appendText(m_scratch, entry, context);
            m_line += "<span class=\"";
            m_line += cellClass(column->id);
            m_line += "\">";
            appendHtmlText(m_line, m_scratch);
            m_line += "</span>";
        }
        if (isFolder) {
            m_line += "</summary>";
            if (entry.descends)
                m_pendingFolder = true;
            else
                m_line += "</details></li>\n";
        } else {
            m_line += "</div></li>\n";
        }
    }
    frame.hasChildren = true;
    m_out.write(m_line);
}

void HtmlListing::finish(const ListingTotals& totals)
{
    closePendingFolder();
    std::string page = "</ul>\n</div>\n</main>\n<footer>\n<pre class=\"meta\" id=\"totals\">";
    page += "Folders:    " + std::to_string(totals.folders) + "\n";
    page += "Files:      " + std::to_string(totals.files) + "\n";
    page += "Total size: " + std::to_string(totals.totalSizeKb) + " Kb";
    page += "</pre>\n</footer>\n<script type=\"application/json\" id=\"zcfg\">{\"cols\":[";
    bool first = true;
    for (const ListingColumn* column : m_columns) {
        if (!first)
            page += ',';
        first = false;
        page += '"';
        page += columnKey(column->id);
        page += '"';
    }
    page += "]}</script>\n<script>\n";
    page += kCatalogueScript;
    page += "</script>\n</body>\n</html>\n";
    m_out.write(page);
}

std::unique_ptr<ListingOutput> makeHtmlListing(const OutputSetup& setup)
{
    return std::make_unique<HtmlListing>(setup.options, setup.out, setup.dateTimeFormat);
}

} // namespace zintrel
