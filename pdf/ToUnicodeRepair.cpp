#include "ToUnicodeRepair.h"

#include <QChar>
#include <QList>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

namespace zintrel {

namespace {

// U+0000 is left alone: fonts give it to the missing-glyph box.
bool isControl(char32_t c) { return (c > 0 && c < 0x20) || (c >= 0x7F && c < 0xA0); }

std::optional<char32_t> decodeUtf16Hex(const std::string& hex)
{
    if (!std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    auto unit = [&hex](std::size_t at) { return static_cast<char32_t>(std::stoul(hex.substr(at, 4), nullptr, 16)); };
    if (hex.size() == 4)
        return unit(0);
    if (hex.size() == 8 && QChar::isHighSurrogate(unit(0)) && QChar::isLowSurrogate(unit(4)))
        return QChar::surrogateToUcs4(unit(0), unit(4));
    return std::nullopt;
}

std::string encodeUtf16Hex(char32_t c)
{
    char buffer[16];
    if (QChar::requiresSurrogates(c))
        std::snprintf(buffer, sizeof buffer, "%04X%04X", QChar::highSurrogate(c), QChar::lowSurrogate(c));
    else
        std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(c));
    return buffer;
}

} // namespace

std::string repairToUnicode(const std::string& cmap, const std::function<bool(char32_t)>& drawn)
{
    auto replacement = [&drawn](char32_t c) -> std::optional<char32_t> {
        if (drawn(c))
            return std::nullopt;
        if (isControl(c))
            return drawn(U' ') ? std::optional<char32_t>(U' ') : std::nullopt;
        QString decomposed = QChar::decomposition(c);
        QList<uint> points = decomposed.toUcs4();
        if (points.size() == 1 && drawn(points.front()))
            return points.front();
        return std::nullopt;
    };

    std::string out;
    out.reserve(cmap.size());
    std::size_t at = 0;
    while (at < cmap.size()) {
        std::size_t bfchar = cmap.find("beginbfchar", at);
        std::size_t bfrange = cmap.find("beginbfrange", at);
        std::size_t begin = std::min(bfchar, bfrange);
        if (begin == std::string::npos)
            break;
        const bool isRange = begin == bfrange;
        const std::string beginWord = isRange ? "beginbfrange" : "beginbfchar";
        const std::string endWord = isRange ? "endbfrange" : "endbfchar";
        std::size_t end = cmap.find(endWord, begin);
        if (end == std::string::npos)
            break;
        std::size_t body = begin + beginWord.size();
        out.append(cmap, at, body - at);

        // Entries: bfchar "<src> <dst>"; bfrange "<lo> <hi> <dst>" or "<lo> <hi> [<dst> ...]".
        int position = 0; // within an entry
        bool inArray = false;
        std::string lowSource;
        bool singleGlyph = false;
        std::size_t i = body;
        while (i < end) {
            char ch = cmap[i];
            if (ch == '<') {
                std::size_t close = cmap.find('>', i);
                if (close == std::string::npos || close > end)
                    break;
                std::string hex = cmap.substr(i + 1, close - i - 1);
                bool isDestination = inArray || position == (isRange ? 2 : 1);
                // A range with one destination spreads it over several glyphs; only a
                // one-glyph range can be moved.
                bool movable = inArray || !isRange || singleGlyph;
                std::string written = hex;
                if (isDestination && movable) {
                    if (auto c = decodeUtf16Hex(hex)) {
                        if (auto better = replacement(*c))
                            written = encodeUtf16Hex(*better);
                    }
                }
                out += '<';
                out += written;
                out += '>';
                if (!inArray) {
                    if (position == 0)
                        lowSource = hex;
                    else if (position == 1)
                        singleGlyph = hex == lowSource;
                    position = (position + 1) % (isRange ? 3 : 2);
                }
                i = close + 1;
                continue;
            }
            if (ch == '[')
                inArray = true;
            else if (ch == ']') {
                inArray = false;
                position = 0;
            }
            out += ch;
            ++i;
        }
        out.append(cmap, i, end - i);
        at = end;
    }
    out.append(cmap, std::min(at, cmap.size()), std::string::npos);
    return out;
}

} // namespace zintrel
