#include "ListingText.h"

namespace zintrel {

std::string padRight(std::string text, int width)
{
    if (width > 0 && text.size() < static_cast<std::size_t>(width))
        text.append(static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

std::string toUpperAscii(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

bool hasRightToLeft(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        // Every such character starts with a lead byte of 0xD6 or above: ASCII and the
        // Latin, Greek and Cyrillic letters are passed over at once.
        if (bytes[i] < 0xD6)
            continue;
        char32_t c = 0;
        std::size_t length = 0;
        if (bytes[i] < 0xE0 && i + 1 < size) {
            c = (bytes[i] & 0x1Fu) << 6 | (bytes[i + 1] & 0x3Fu);
            length = 2;
        } else if (bytes[i] >= 0xE0 && bytes[i] < 0xF0 && i + 2 < size) {
            c = (bytes[i] & 0x0Fu) << 12 | (bytes[i + 1] & 0x3Fu) << 6 | (bytes[i + 2] & 0x3Fu);
            length = 3;
        } else if (bytes[i] >= 0xF0 && i + 3 < size) {
            c = (bytes[i] & 0x07u) << 18 | (bytes[i + 1] & 0x3Fu) << 12 | (bytes[i + 2] & 0x3Fu) << 6
                | (bytes[i + 3] & 0x3Fu);
            length = 4;
        }
        const bool rightToLeft = (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF)
            || (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF);
        const bool control = c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
        if (rightToLeft || control)
            return true;
        if (length > 1)
            i += length - 1;
    }
    return false;
}

void appendOneLine(std::string& out, std::string_view text)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            out.append(text.substr(start, i - start));
            out += '?';
            start = i + 1;
        }
    }
    out.append(text.substr(start));
}

std::string completeTargetName(const std::string& name, OutputType type)
{
    const std::string_view extension = type == OutputType::Text ? ".txt" : ".pdf";
    if (name.size() >= extension.size()
        && toUpperAscii(name.substr(name.size() - extension.size())) == toUpperAscii(extension))
        return name;
    return name + std::string(extension);
}

} // namespace zintrel
