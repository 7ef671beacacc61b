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
