#include "MaskFilter.h"

#include "Capitals.h"

#include <algorithm>

namespace zintrel {

namespace {

constexpr std::size_t kMaxMaskLength = 20;

bool isContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Cuts a UTF-8 text to its first count characters, never inside a character.
std::string firstCharacters(const std::string& text, std::size_t count)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isContinuationByte(text[i]) && characters++ == count)
            return text.substr(0, i);
    }
    return text;
}

// The bytes of the character that begins at text[at]: a lead byte and the continuation
// bytes after it, or a lone byte that is no part of a sequence.
std::size_t characterLength(std::string_view text, std::size_t at)
{
    constexpr std::size_t kLongestSequence = 4;
    std::size_t length = 1;
    if (static_cast<unsigned char>(text[at]) >= 0xC0) {
        while (length < kLongestSequence && at + length < text.size() && isContinuationByte(text[at + length]))
            ++length;
    }
    return length;
}

bool isWildcardPattern(std::string_view mask)
{
    if (mask.find(".*") != std::string_view::npos || mask.find("*.") != std::string_view::npos)
        return false;
    return mask.find_first_of("*?") != std::string_view::npos;
}

} // namespace

bool matchesWildcard(std::string_view name, std::string_view pattern)
{
    // Greedy, going back only to the last "*" seen, whose run grows by one character at each
    // return: a later "*" makes the runs before it final, so a match takes at most the two
    // lengths multiplied steps, never exponential time.
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            n += characterLength(name, n);
            ++p;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++n;
            ++p;
        } else if (starPattern != std::string_view::npos) {
            starName += characterLength(name, starName);
            n = starName;
            p = starPattern;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool matchesMask(std::string_view name, std::string_view mask)
{
    if (isWildcardPattern(mask)) {
        // "*.txt; IMG_*" makes " IMG_*": the blank is the separator's, not the pattern's.
        mask.remove_prefix(std::min(mask.find_first_not_of(' '), mask.size()));
        return matchesWildcard(name, mask);
    }
    std::string_view baseName = name;
    std::string_view extension;
    if (auto dot = name.rfind('.'); dot != std::string_view::npos) {
        baseName = name.substr(0, dot);
        extension = name.substr(dot + 1);
    }
    if (mask == name)
        return true;
    if (auto cut = mask.find(".*"); cut != std::string_view::npos) {
        mask = mask.substr(0, cut);
        if (mask == baseName)
            return true;
    }
    if (auto star = mask.find("*."); star != std::string_view::npos)
        return mask.substr(star + 2) == extension;
    return false;
}

std::vector<std::string> buildMaskList(const std::string& fileMask)
{
    std::vector<std::string> masks;
    if (fileMask.empty() || fileMask.find("*.*") != std::string::npos)
        return masks;
    std::string text = fileMask;
    if (text.back() == ';')
        text.pop_back();
    std::size_t start = 0;
    for (;;) {
        std::size_t semicolon = text.find(';', start);
        std::string part = text.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start);
        masks.push_back(toUpperAscii(firstCharacters(part, kMaxMaskLength)));
        if (semicolon == std::string::npos)
            break;
        start = semicolon + 1;
    }
    return masks;
}

MaskFilter::MaskFilter(const std::string& fileMask)
    : m_masks(buildMaskList(fileMask))
{
}

bool MaskFilter::fits(std::string_view name) const
{
    if (m_masks.empty())
        return true;
    std::string upper = toUpperAscii(name);
    return std::any_of(m_masks.begin(), m_masks.end(),
                       [&](const std::string& mask) { return matchesMask(upper, mask); });
}

} // namespace zintrel
