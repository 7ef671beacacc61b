#include "ToUnicodeRepair.h"

#include <QChar>
#include <QList>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace zintrel {

namespace {

// QPdfWriter's maps have codes of two bytes: glyph ids in the embedded font subset.
constexpr unsigned kCodeSpaceSize = 0x10000;
// Fonts give it to the missing-glyph box, which stands for no character.
constexpr unsigned kMissingGlyph = 0;
// The most entries one begin...end block of a CMap may hold.
constexpr std::size_t kMaxBlockEntries = 100;

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

std::optional<unsigned> hexCode(std::string_view hex)
{
    if (hex.empty() || hex.size() > 4
        || !std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    return static_cast<unsigned>(std::stoul(std::string(hex), nullptr, 16));
}

// The hex strings (without their brackets) and the array brackets of one block, in order.
std::vector<std::string_view> blockTokens(std::string_view block)
{
    std::vector<std::string_view> tokens;
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (block[i] == '<') {
            std::size_t close = block.find('>', i);
            if (close == std::string_view::npos)
                break;
            tokens.push_back(block.substr(i + 1, close - i - 1));
            i = close;
        } else if (block[i] == '[' || block[i] == ']') {
            tokens.push_back(block.substr(i, 1));
        }
    }
    return tokens;
}

// The bodies of every block between begin and end.
std::vector<std::string_view> blocks(std::string_view cmap, std::string_view begin, std::string_view end)
{
    std::vector<std::string_view> found;
    for (std::size_t at = cmap.find(begin); at != std::string_view::npos; at = cmap.find(begin, at)) {
        std::size_t body = at + begin.size();
        std::size_t stop = cmap.find(end, body);
        if (stop == std::string_view::npos)
            break;
        found.push_back(cmap.substr(body, stop - body));
        at = stop;
    }
    return found;
}

// Which codes below codeCount the map gives a character.
std::vector<bool> mappedCodes(std::string_view cmap, unsigned codeCount)
{
    std::vector<bool> mapped(codeCount);
    auto mark = [&](std::string_view low, std::string_view high) {
        std::optional<unsigned> from = hexCode(low);
        std::optional<unsigned> to = hexCode(high);
        if (!from || !to)
            return;
        for (unsigned code = *from; code <= *to && code < codeCount; ++code)
            mapped[code] = true;
    };
    for (std::string_view block : blocks(cmap, "beginbfchar", "endbfchar")) {
        std::vector<std::string_view> t = blockTokens(block);
        for (std::size_t i = 0; i + 1 < t.size(); i += 2)
            mark(t[i], t[i]);
    }
    for (std::string_view block : blocks(cmap, "beginbfrange", "endbfrange")) {
        std::vector<std::string_view> t = blockTokens(block);
        std::size_t i = 0;
        while (i + 2 < t.size()) {
            mark(t[i], t[i + 1]);
            if (t[i + 2] == "[") {
                i += 3;
                while (i < t.size() && t[i] != "]")
                    ++i;
                ++i;
            } else {
                i += 3;
            }
        }
    }
    return mapped;
}

// cmap with the destination of every entry that stands for one glyph (a bfchar, an item
// of a range's array, a range of one glyph) passed through replacement, which gets the
// glyph's code and its character and gives the character to write instead, if any.
std::string rewriteDestinations(const std::string& cmap,
                                const std::function<std::optional<char32_t>(unsigned code, char32_t c)>& replacement)
{
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
        unsigned arrayIndex = 0;
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
                    std::optional<unsigned> low = hexCode(lowSource);
                    std::optional<char32_t> c = decodeUtf16Hex(hex);
                    if (low && c) {
                        if (auto better = replacement(*low + (inArray ? arrayIndex : 0), *c))
                            written = encodeUtf16Hex(*better);
                    }
                }
                if (inArray)
                    ++arrayIndex;
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
            if (ch == '[') {
                inArray = true;
                arrayIndex = 0;
            } else if (ch == ']') {
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

} // namespace

std::string repairToUnicode(const std::string& cmap, const std::function<bool(char32_t)>& drawn)
{
    return rewriteDestinations(cmap, [&drawn](unsigned, char32_t c) -> std::optional<char32_t> {
        if (drawn(c))
            return std::nullopt;
        if (isControl(c))
            return drawn(U' ') ? std::optional<char32_t>(U' ') : std::nullopt;
        QString decomposed = QChar::decomposition(c);
        QList<uint> points = decomposed.toUcs4();
        if (points.size() == 1 && drawn(points.front()))
            return points.front();
        return std::nullopt;
    });
}

std::string completeToUnicode(const std::string& cmap, unsigned codeCount,
                              const std::function<std::optional<char32_t>(unsigned code)>& characterOf,
                              const std::function<bool(char32_t)>& drawn)
{
    codeCount = std::min(codeCount, kCodeSpaceSize);
    std::string out = rewriteDestinations(cmap, [&](unsigned code, char32_t c) -> std::optional<char32_t> {
        if (code == kMissingGlyph || code >= codeCount || drawn(c))
            return std::nullopt;
        return characterOf(code);
    });
    const std::size_t endOfMap = out.rfind("endcmap");
    if (endOfMap == std::string::npos)
        return out;
    const std::vector<bool> mapped = mappedCodes(out, codeCount);
    std::vector<std::string> entries;
    for (unsigned code = kMissingGlyph + 1; code < codeCount; ++code) {
        if (mapped[code])
            continue;
        if (std::optional<char32_t> c = characterOf(code)) {
            char source[16];
            std::snprintf(source, sizeof source, "%04X", code);
            entries.push_back("<" + std::string(source) + "> <" + encodeUtf16Hex(*c) + ">\n");
        }
    }
    if (entries.empty())
        return out;
    std::string added;
    for (std::size_t first = 0; first < entries.size(); first += kMaxBlockEntries) {
        const std::size_t count = std::min(kMaxBlockEntries, entries.size() - first);
        added += std::to_string(count) + " beginbfchar\n";
        for (std::size_t i = first; i < first + count; ++i)
            added += entries[i];
        added += "endbfchar\n";
    }
    out.insert(endOfMap, added);
    return out;
}

} // namespace zintrel
