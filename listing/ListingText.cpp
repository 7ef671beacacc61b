#include "ListingText.h"

#include "ListingOptions.h"

namespace zintrel {

namespace {

constexpr std::size_t kMaxMaskLength = 20;

// Cuts a UTF-8 text to its first count characters, never inside a character.
std::string firstCharacters(const std::string& text, std::size_t count)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && characters++ == count)
            return text.substr(0, i);
    }
    return text;
}

} // namespace

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

bool matchesMask(std::string_view name, std::string_view mask)
{
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

std::uint32_t buildAttributeMask(const ListingOptions& options)
{
    std::uint32_t mask = 0;
    if (!options.excludeReadOnly)
        mask |= kReadOnly;
    if (!options.excludeHidden)
        mask |= kHidden;
    if (!options.excludeSystem)
        mask |= kSystem;
    if (!options.excludeVolumeId)
        mask |= kVolumeId;
    if (!options.excludeDirectory)
        mask |= kDirectory;
    if (!options.excludeArchive)
        mask |= kArchive;
    return mask;
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
