#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

struct ListingOptions;

// The attribute bits of an entry, with the letters R H S V D A in this order.
enum AttributeBit : std::uint32_t {
    kReadOnly = 1,
    kHidden = 2,
    kSystem = 4,
    kVolumeId = 8,
    kDirectory = 16,
    kArchive = 32,
};

// Extends text with blanks at its end to at least width characters; never shortens.
std::string padRight(std::string text, int width);

// Puts the letters a to z in capitals and leaves every other byte alone.
std::string toUpperAscii(std::string_view text);

// Whether a name fits one mask, both already in capitals.
bool matchesMask(std::string_view name, std::string_view mask);

// Splits the filename mask text at ";" into the masks of a run, each cut to 20 characters
// and put in capitals. Empty when the text is empty or holds "*.*" anywhere.
std::vector<std::string> buildMaskList(const std::string& fileMask);

// The set of attribute bits an entry may carry: the bits of the attribute flags that are off.
std::uint32_t buildAttributeMask(const ListingOptions& options);

// bytes / 1024 rounded to the nearest whole number, halves to the even neighbour.
constexpr std::int64_t roundedKb(std::int64_t bytes)
{
    std::int64_t quotient = bytes / 1024;
    std::int64_t remainder = bytes % 1024;
    if (remainder > 512 || (remainder == 512 && (quotient & 1)))
        ++quotient;
    return quotient;
}

// Appends text with every byte below 0x20 and 0x7F written as "?", so that one entry stays
// one line whatever its name holds.
void appendOneLine(std::string& out, std::string_view text);

enum class OutputType { Text = 1, Pdf = 2 };

// The chosen target name with ".txt" or ".pdf" appended unless it already ends in it, in
// any mix of case.
std::string completeTargetName(const std::string& name, OutputType type);

} // namespace zintrel
