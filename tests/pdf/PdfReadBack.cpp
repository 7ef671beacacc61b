#include "PdfReadBack.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <array>
#include <cmath>
#include <map>
#include <stdexcept>

namespace {

using Matrix = std::array<double, 6>; // a b c d e f
constexpr Matrix kIdentity{1, 0, 0, 1, 0, 0};

// m1 applied first, then m2.
Matrix multiply(const Matrix& m1, const Matrix& m2)
{
    return {m1[0] * m2[0] + m1[1] * m2[2],         m1[0] * m2[1] + m1[1] * m2[3],
            m1[2] * m2[0] + m1[3] * m2[2],         m1[2] * m2[1] + m1[3] * m2[3],
            m1[4] * m2[0] + m1[5] * m2[2] + m2[4], m1[4] * m2[1] + m1[5] * m2[3] + m2[5]};
}

unsigned hexValue(const std::string& hex) { return static_cast<unsigned>(std::stoul(hex, nullptr, 16)); }

std::u32string utf16HexToText(const std::string& hex)
{
    std::u32string text;
    for (std::size_t i = 0; i + 4 <= hex.size(); i += 4) {
        char32_t unit = hexValue(hex.substr(i, 4));
        if (unit >= 0xD800 && unit < 0xDC00 && i + 8 <= hex.size()) {
            char32_t low = hexValue(hex.substr(i + 4, 4));
            text += 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 4;
        } else {
            text += unit;
        }
    }
    return text;
}

// The hex strings and brackets of a CMap section, in order.
std::vector<std::string> cmapTokens(const std::string& section)
{
    std::vector<std::string> tokens;
    for (std::size_t i = 0; i < section.size(); ++i) {
        if (section[i] == '<') {
            std::size_t close = section.find('>', i);
            tokens.push_back(section.substr(i + 1, close - i - 1));
            i = close;
        } else if (section[i] == '[' || section[i] == ']') {
            tokens.push_back(std::string(1, section[i]));
        }
    }
    return tokens;
}

using CodeMap = std::map<unsigned, std::u32string>;

CodeMap parseToUnicode(const std::string& cmap)
{
    CodeMap map;
    auto sections = [&cmap](const std::string& begin, const std::string& end) {
        std::vector<std::string> found;
        for (std::size_t at = cmap.find(begin); at != std::string::npos; at = cmap.find(begin, at + 1)) {
            std::size_t stop = cmap.find(end, at);
            found.push_back(cmap.substr(at + begin.size(), stop - at - begin.size()));
        }
        return found;
    };
    for (const std::string& section : sections("beginbfchar", "endbfchar")) {
        std::vector<std::string> t = cmapTokens(section);
        for (std::size_t i = 0; i + 1 < t.size(); i += 2)
            map[hexValue(t[i])] = utf16HexToText(t[i + 1]);
    }
    for (const std::string& section : sections("beginbfrange", "endbfrange")) {
        std::vector<std::string> t = cmapTokens(section);
        for (std::size_t i = 0; i + 2 < t.size();) {
            unsigned low = hexValue(t[i]);
            unsigned high = hexValue(t[i + 1]);
            if (t[i + 2] == "[") {
                std::size_t j = i + 3;
                for (unsigned code = low; t[j] != "]"; ++code, ++j)
                    map[code] = utf16HexToText(t[j]);
                i = j + 1;
            } else {
                std::u32string first = utf16HexToText(t[i + 2]);
                for (unsigned code = low; code <= high; ++code) {
                    std::u32string value = first;
                    value.back() += code - low;
                    map[code] = value;
                }
                i += 3;
            }
        }
    }
    return map;
}

struct Font {
    std::string baseFont;
    CodeMap toUnicode;
    // The lengths of its codes by their first byte, from its encoding's code space.
    std::array<int, 256> codeLength{};
    // The CID of each code, from its encoding (a code is its CID where none is given).
    std::map<unsigned, unsigned> cidOf;
    std::vector<std::pair<unsigned, std::pair<unsigned, unsigned>>> cidRanges; // low, high, first CID
    std::map<unsigned, double> widths;                                         // by CID, in thousandths of an em
    double defaultWidth = 1000;

    unsigned cid(unsigned code) const
    {
        auto found = cidOf.find(code);
        if (found != cidOf.end())
            return found->second;
        for (const auto& [low, range] : cidRanges) {
            if (code >= low && code <= range.first)
                return range.second + (code - low);
        }
        return code;
    }
    double width(unsigned cid) const
    {
        auto found = widths.find(cid);
        return found == widths.end() ? defaultWidth : found->second;
    }
};

void readCids(const std::string& cmap, Font& font)
{
    for (std::size_t at = cmap.find("begincidchar"); at != std::string::npos; at = cmap.find("begincidchar", at + 1)) {
        std::size_t stop = cmap.find("endcidchar", at);
        std::string section = cmap.substr(at + 12, stop - at - 12);
        std::size_t i = 0;
        while ((i = section.find('<', i)) != std::string::npos) {
            std::size_t close = section.find('>', i);
            const unsigned code = hexValue(section.substr(i + 1, close - i - 1));
            font.cidOf[code] = static_cast<unsigned>(std::stoul(section.substr(close + 1)));
            i = close;
        }
    }
    for (std::size_t at = cmap.find("begincidrange"); at != std::string::npos;
         at = cmap.find("begincidrange", at + 1)) {
        std::size_t stop = cmap.find("endcidrange", at);
        std::string section = cmap.substr(at + 13, stop - at - 13);
        std::size_t i = 0;
        while ((i = section.find('<', i)) != std::string::npos) {
            std::size_t close = section.find('>', i);
            const unsigned low = hexValue(section.substr(i + 1, close - i - 1));
            std::size_t open2 = section.find('<', close);
            std::size_t close2 = section.find('>', open2);
            const unsigned high = hexValue(section.substr(open2 + 1, close2 - open2 - 1));
            const unsigned first = static_cast<unsigned>(std::stoul(section.substr(close2 + 1)));
            font.cidRanges.push_back({low, {high, first}});
            i = close2;
        }
    }
}

void readWidths(QPDFObjectHandle cidFont, Font& font)
{
    if (cidFont.getKey("/DW").isNumber())
        font.defaultWidth = cidFont.getKey("/DW").getNumericValue();
    QPDFObjectHandle w = cidFont.getKey("/W");
    if (!w.isArray())
        return;
    std::vector<QPDFObjectHandle> items = w.getArrayAsVector();
    for (std::size_t i = 0; i + 1 < items.size();) {
        const auto first = static_cast<unsigned>(items[i].getIntValue());
        if (items[i + 1].isArray()) {
            unsigned cid = first;
            for (QPDFObjectHandle width : items[i + 1].getArrayAsVector())
                font.widths[cid++] = width.getNumericValue();
            i += 2;
        } else if (i + 2 < items.size()) {
            const auto last = static_cast<unsigned>(items[i + 1].getIntValue());
            for (unsigned cid = first; cid <= last; ++cid)
                font.widths[cid] = items[i + 2].getNumericValue();
            i += 3;
        } else {
            break;
        }
    }
}

// The lengths of codes by their first byte, from a CMap's codespacerange sections.
std::array<int, 256> codeLengths(const std::string& cmap)
{
    std::array<int, 256> lengths{};
    for (std::size_t at = cmap.find("begincodespacerange"); at != std::string::npos;
         at = cmap.find("begincodespacerange", at + 1)) {
        std::size_t stop = cmap.find("endcodespacerange", at);
        std::vector<std::string> t = cmapTokens(cmap.substr(at, stop - at));
        for (std::size_t i = 0; i + 1 < t.size(); i += 2) {
            const int bytes = static_cast<int>(t[i].size() / 2);
            const unsigned low = hexValue(t[i].substr(0, 2));
            const unsigned high = hexValue(t[i + 1].substr(0, 2));
            for (unsigned first = low; first <= high && first < 256; ++first)
                lengths[first] = bytes;
        }
    }
    return lengths;
}

std::string streamText(QPDFObjectHandle stream)
{
    std::shared_ptr<Buffer> data = stream.getStreamData();
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

// Follows the text and colour operators of one page and records every glyph shown, with
// what the text layer makes of it: its ToUnicode entry, or the marked content's actual text.
class PageReader : public QPDFObjectHandle::ParserCallbacks {
public:
    PageReader(int page, QPDFObjectHandle resources, std::vector<DrawnLine>& lines)
        : m_page(page)
        , m_resources(resources)
        , m_lines(lines)
    {
    }

    void handleObject(QPDFObjectHandle object) override
    {
        if (!object.isOperator()) {
            m_operands.push_back(object);
            return;
        }
        operate(object.getOperatorValue());
        m_operands.clear();
    }
    void handleEOF() override {}

private:
    struct State {
        Matrix ctm = kIdentity;
        Rgb fill;
    };

    double number(std::size_t i) { return m_operands.at(i).getNumericValue(); }

    void nextLine()
    {
        m_lineMatrix = multiply(Matrix{1, 0, 0, 1, 0, -m_leading}, m_lineMatrix);
        m_textMatrix = m_lineMatrix;
    }

    void operate(const std::string& op)
    {
        if (op == "q") {
            m_stack.push_back(m_state);
        } else if (op == "Q") {
            m_state = m_stack.back();
            m_stack.pop_back();
        } else if (op == "cm") {
            Matrix m{number(0), number(1), number(2), number(3), number(4), number(5)};
            m_state.ctm = multiply(m, m_state.ctm);
        } else if (op == "rg" || ((op == "scn" || op == "sc") && m_operands.size() == 3)) {
            m_state.fill = {number(0), number(1), number(2)};
        } else if (op == "g") {
            m_state.fill = {number(0), number(0), number(0)};
        } else if (op == "BT") {
            m_textMatrix = m_lineMatrix = kIdentity;
        } else if (op == "Tf") {
            m_font = &font(m_operands.at(0).getName());
            m_fontSize = number(1);
        } else if (op == "TL") {
            m_leading = number(0);
        } else if (op == "Ts") {
            m_rise = number(0);
        } else if (op == "Tm") {
            m_textMatrix = m_lineMatrix = {number(0), number(1), number(2), number(3), number(4), number(5)};
        } else if (op == "Td" || op == "TD") {
            if (op == "TD")
                m_leading = -number(1);
            m_lineMatrix = multiply(Matrix{1, 0, 0, 1, number(0), number(1)}, m_lineMatrix);
            m_textMatrix = m_lineMatrix;
        } else if (op == "T*") {
            nextLine();
        } else if (op == "Tj") {
            show(m_operands.at(0).getStringValue());
        } else if (op == "'") {
            nextLine();
            show(m_operands.at(0).getStringValue());
        } else if (op == "TJ") {
            for (QPDFObjectHandle item : m_operands.at(0).getArrayAsVector()) {
                if (item.isString())
                    show(item.getStringValue());
                else if (item.isNumber())
                    m_textMatrix
                        = multiply(Matrix{1, 0, 0, 1, -item.getNumericValue() / 1000 * m_fontSize, 0}, m_textMatrix);
            }
        } else if (op == "BDC") {
            QPDFObjectHandle properties = m_operands.size() > 1 ? m_operands.at(1) : QPDFObjectHandle::newNull();
            m_marks.push_back(
                properties.isDictionary() && properties.hasKey("/ActualText")
                    ? std::optional<std::u32string>(toU32(properties.getKey("/ActualText").getUTF8Value()))
                    : std::nullopt);
            m_actualPending = m_marks.back().has_value();
        } else if (op == "BMC") {
            m_marks.push_back(std::nullopt);
        } else if (op == "EMC") {
            if (!m_marks.empty())
                m_marks.pop_back();
            m_actualPending = false;
        }
    }

    Font& font(const std::string& name)
    {
        auto found = m_fonts.find(name);
        if (found != m_fonts.end())
            return found->second;
        QPDFObjectHandle dict = m_resources.getKey("/Font").getKey(name);
        Font f;
        f.baseFont = dict.getKey("/BaseFont").isName() ? dict.getKey("/BaseFont").getName() : "";
        const bool composite = dict.getKey("/Subtype").isName() && dict.getKey("/Subtype").getName() == "/Type0";
        f.codeLength.fill(composite ? 2 : 1);
        QPDFObjectHandle encoding = dict.getKey("/Encoding");
        if (composite && encoding.isStream()) {
            const std::string cmap = streamText(encoding);
            f.codeLength = codeLengths(cmap);
            readCids(cmap, f);
        }
        if (composite && dict.getKey("/DescendantFonts").isArray())
            readWidths(dict.getKey("/DescendantFonts").getArrayItem(0), f);
        QPDFObjectHandle toUnicode = dict.getKey("/ToUnicode");
        if (!toUnicode.isStream())
            throw std::runtime_error("font " + name + " has no ToUnicode map");
        f.toUnicode = parseToUnicode(streamText(toUnicode));
        return m_fonts.emplace(name, std::move(f)).first->second;
    }

    DrawnLine& lineAt(double x, double y)
    {
        for (auto it = m_lines.rbegin(); it != m_lines.rend() && it->page == m_page; ++it) {
            if (std::abs(it->y - y) < 0.01)
                return *it;
        }
        m_lines.push_back(DrawnLine{m_page, x, y, {}, {}, {}});
        return m_lines.back();
    }

    void show(const std::string& bytes)
    {
        if (!m_font)
            throw std::runtime_error("text shown without a font");
        // Raised glyphs (marks) belong to the line of their baseline.
        const Matrix start = multiply(m_textMatrix, m_state.ctm);
        DrawnLine& line = lineAt(start[4], start[5]);
        const bool actual = !m_marks.empty() && m_marks.back().has_value();
        for (std::size_t i = 0; i < bytes.size();) {
            const int length = std::max(1, m_font->codeLength[static_cast<unsigned char>(bytes[i])]);
            unsigned code = 0;
            for (int b = 0; b < length && i + static_cast<std::size_t>(b) < bytes.size(); ++b)
                code = code << 8 | static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(b)]);
            i += static_cast<std::size_t>(length);
            std::u32string text;
            if (actual) {
                // The marked content's text once, for all its glyphs.
                if (m_actualPending)
                    text = *m_marks.back();
                m_actualPending = false;
            } else {
                auto mapped = m_font->toUnicode.find(code);
                text = mapped == m_font->toUnicode.end() ? std::u32string(1, U'\0') : mapped->second;
            }
            line.text += text;
            for (std::size_t k = 0; k < text.size(); ++k)
                line.colors.push_back(m_state.fill);
            const double advance = m_font->width(m_font->cid(code)) / 1000 * m_fontSize;
            const Matrix placed = multiply(m_textMatrix, m_state.ctm);
            line.glyphs.push_back(DrawnGlyph{placed[4], advance, m_rise, text});
            m_textMatrix = multiply(Matrix{1, 0, 0, 1, advance, 0}, m_textMatrix);
            if (line.fonts.empty() || line.fonts.back() != m_font->baseFont)
                line.fonts.push_back(m_font->baseFont);
        }
    }

    int m_page;
    QPDFObjectHandle m_resources;
    std::vector<DrawnLine>& m_lines;
    std::vector<QPDFObjectHandle> m_operands;
    State m_state;
    std::vector<State> m_stack;
    Matrix m_textMatrix = kIdentity;
    Matrix m_lineMatrix = kIdentity;
    double m_leading = 0;
    double m_rise = 0;
    double m_fontSize = 0;
    std::map<std::string, Font> m_fonts;
    Font* m_font = nullptr;
    std::vector<std::optional<std::u32string>> m_marks;
    bool m_actualPending = false;
};

std::optional<std::string> infoEntry(QPDFObjectHandle info, const char* key)
{
    if (!info.isDictionary() || !info.hasKey(key))
        return std::nullopt;
    return info.getKey(key).getUTF8Value();
}

} // namespace

std::vector<Bookmark> bookmarks(QPDFObjectHandle first, const std::map<QPDFObjGen, int>& pageNumbers)
{
    std::vector<Bookmark> list;
    for (QPDFObjectHandle item = first; item.isDictionary(); item = item.getKey("/Next")) {
        Bookmark bookmark;
        QPDFObjectHandle title = item.getKey("/Title");
        bookmark.title = title.getUTF8Value();
        bookmark.utf16 = title.getStringValue().rfind("\xFE\xFF", 0) == 0;
        QPDFObjectHandle dest = item.getKey("/Dest");
        if (dest.isArray() && dest.getArrayNItems() >= 4) {
            auto found = pageNumbers.find(dest.getArrayItem(0).getObjGen());
            bookmark.page = found == pageNumbers.end() ? 0 : found->second;
            bookmark.top = dest.getArrayItem(3).getNumericValue();
        }
        QPDFObjectHandle count = item.getKey("/Count");
        bookmark.open = count.isInteger() && count.getIntValue() > 0;
        bookmark.kids = bookmarks(item.getKey("/First"), pageNumbers);
        list.push_back(std::move(bookmark));
        if (list.size() > 100000)
            throw std::runtime_error("the outline does not end");
    }
    return list;
}

PdfContent readPdf(const std::string& path, const std::string& password)
{
    QPDF pdf;
    pdf.processFile(path.c_str(), password.c_str());
    PdfContent content;

    // Pages inherit their resources from the page tree.
    pdf.pushInheritedAttributesToPage();
    int number = 0;
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        ++number;
        QPDFObjectHandle box = page.getKey("/MediaBox");
        QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
        content.pages.push_back(PageInfo{r.urx - r.llx, r.ury - r.lly});
        PageReader reader(number, page.getKey("/Resources"), content.lines);
        QPDFPageObjectHelper(page).parseContents(&reader);
    }

    std::map<QPDFObjGen, int> pageNumbers;
    for (QPDFObjectHandle page : pdf.getAllPages())
        pageNumbers.emplace(page.getObjGen(), static_cast<int>(pageNumbers.size()) + 1);
    QPDFObjectHandle catalog = pdf.getRoot();
    QPDFObjectHandle outlines = catalog.getKey("/Outlines");
    if (outlines.isDictionary())
        content.outline = bookmarks(outlines.getKey("/First"), pageNumbers);
    content.outlineShownAtOpen = catalog.getKey("/PageMode").isName()
        && catalog.getKey("/PageMode").getName() == "/UseOutlines";

    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    content.author = infoEntry(info, "/Author");
    content.title = infoEntry(info, "/Title");
    content.creator = infoEntry(info, "/Creator");
    content.producer = infoEntry(info, "/Producer");

    Encryption& e = content.encryption;
    int R = 0, P = 0, V = 0;
    QPDF::encryption_method_e stream = QPDF::e_none, string = QPDF::e_none, file = QPDF::e_none;
    e.encrypted = pdf.isEncrypted(R, P, V, stream, string, file);
    e.revision = R;
    e.version = V;
    e.aes256 = stream == QPDF::e_aesv3 && string == QPDF::e_aesv3;
    e.printHighRes = pdf.allowPrintHighRes();
    e.printLowRes = pdf.allowPrintLowRes();
    e.extractAll = pdf.allowExtractAll();
    e.modifyOther = pdf.allowModifyOther();
    e.modifyAnnotation = pdf.allowModifyAnnotation();
    e.modifyForm = pdf.allowModifyForm();
    e.modifyAssembly = pdf.allowModifyAssembly();
    e.accessibility = pdf.allowAccessibility();
    e.userPasswordMatched = pdf.userPasswordMatched();
    e.ownerPasswordMatched = pdf.ownerPasswordMatched();

    // qpdf quietly rebuilds a broken cross-reference table or stream length; a file that
    // needed that is not a good file, though it reads.
    std::vector<QPDFExc> warnings = pdf.getWarnings();
    if (!warnings.empty())
        throw std::runtime_error(path + " needed repairs: " + warnings.front().what());
    return content;
}

bool passwordRefused(const std::string& path, const std::string& password)
{
    try {
        QPDF pdf;
        pdf.processFile(path.c_str(), password.c_str());
        return false;
    } catch (const QPDFExc& error) {
        return error.getErrorCode() == qpdf_e_password;
    }
}

std::string pdfToText(const std::string& path, const std::string& password)
{
    QProcess process;
    QStringList arguments;
    if (!password.empty())
        arguments << "-upw" << QString::fromStdString(password);
    arguments << "-enc"
              << "UTF-8" << QString::fromStdString(path) << "-";
    process.start("pdftotext", arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        throw std::runtime_error("pdftotext failed: " + process.readAllStandardError().toStdString());
    return process.readAllStandardOutput().toStdString();
}

std::u32string toU32(const std::string& utf8)
{
    QList<uint> points = QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toUcs4();
    return std::u32string(points.begin(), points.end());
}

std::string toUtf8(const std::u32string& text)
{
    return QString::fromUcs4(text.data(), qsizetype(text.size())).toUtf8().toStdString();
}
