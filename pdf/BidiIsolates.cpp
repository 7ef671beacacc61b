#include "BidiIsolates.h"

namespace zintrel {

namespace {

void appendIsolated(std::string& line, std::string_view text)
{
    line += kIsolateStart;
    line += text;
    line += kIsolateEnd;
}

} // namespace

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

void IsolatedNames::appendName(std::string& line, std::string_view name) const
{
    if (hasRightToLeft(name))
        appendIsolated(line, name);
    else
        line += name;
}

// The whole path goes in one isolate when any part of it needs one.
void IsolatedNames::appendPath(std::string& line, std::string_view folder, std::string_view name) const
{
    const bool isolate = hasRightToLeft(name) || hasRightToLeft(folder);
    if (isolate)
        line += kIsolateStart;
    line += folder;
    line += name;
    if (isolate)
        line += kIsolateEnd;
}

void IsolatedNames::appendFolder(std::string& line, std::string_view folder) const { appendName(line, folder); }

} // namespace zintrel
