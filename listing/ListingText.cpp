#include "ListingText.h"

namespace zintrel {

std::string padRight(std::string text, int width)
{
    if (width > 0 && text.size() < static_cast<std::size_t>(width))
        text.append(static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
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

} // namespace zintrel
