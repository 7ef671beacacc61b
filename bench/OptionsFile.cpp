#include "OptionsFile.h"

#include <charconv>
#include <fstream>
#include <functional>
#include <map>

namespace zintrel {

namespace {

using Setter = std::function<bool(const std::string&, ListingOptions&)>;

bool parseBool(const std::string& text, bool& value)
{
    if (text == "true")
        value = true;
    else if (text == "false")
        value = false;
    else
        return false;
    return true;
}

template <typename Int> bool parseInt(const std::string& text, Int& value)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool parseDate(const std::string& text, LocalDateTime& value)
{
    int year = 0, month = 0, day = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !parseInt(text.substr(0, 4), year)
        || !parseInt(text.substr(5, 2), month) || !parseInt(text.substr(8, 2), day) || year < 1 || month < 1
        || month > 12 || day < 1 || day > daysInMonth(year, month))
        return false;
    value.year = year;
    value.month = month;
    value.day = day;
    return true;
}

bool parseColor(const std::string& text, RgbColor& value)
{
    unsigned rgb = 0;
    if (text.size() != 7 || text[0] != '#')
        return false;
    auto [end, error] = std::from_chars(text.data() + 1, text.data() + 7, rgb, 16);
    if (error != std::errc() || end != text.data() + 7)
        return false;
    value = RgbColor{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                     static_cast<std::uint8_t>(rgb)};
    return true;
}

Setter boolField(bool ListingOptions::*field)
{
    return [field](const std::string& text, ListingOptions& o) { return parseBool(text, o.*field); };
}

Setter textField(std::string ListingOptions::*field)
{
    return [field](const std::string& text, ListingOptions& o) {
        o.*field = text;
        return true;
    };
}

Setter rangeField(int ListingOptions::*field, int low, int high)
{
    return [=](const std::string& text, ListingOptions& o) {
        int value = 0;
        if (!parseInt(text, value) || value < low || value > high)
            return false;
        o.*field = value;
        return true;
    };
}

Setter dateField(LocalDateTime ListingOptions::*field)
{
    return [field](const std::string& text, ListingOptions& o) { return parseDate(text, o.*field); };
}

Setter colorField(RgbColor ListingOptions::*field)
{
    return [field](const std::string& text, ListingOptions& o) { return parseColor(text, o.*field); };
}

const std::map<std::string, Setter>& setters()
{
    static const std::map<std::string, Setter> table = {
        {"showName", boolField(&ListingOptions::showName)},
        {"showSize", boolField(&ListingOptions::showSize)},
        {"showAttributes", boolField(&ListingOptions::showAttributes)},
        {"showDateTime", boolField(&ListingOptions::showDateTime)},
        {"showPath", boolField(&ListingOptions::showPath)},
        {"showLevel", boolField(&ListingOptions::showLevel)},
        {"fieldSpacing", rangeField(&ListingOptions::fieldSpacing, 0, kMaxFieldSpacing)},
        {"indentSize", rangeField(&ListingOptions::indentSize, 0, kMaxIndentSize)},
        {"fileMask", textField(&ListingOptions::fileMask)},
        {"excludeReadOnly", boolField(&ListingOptions::excludeReadOnly)},
        {"excludeHidden", boolField(&ListingOptions::excludeHidden)},
        {"excludeSystem", boolField(&ListingOptions::excludeSystem)},
        {"excludeVolumeId", boolField(&ListingOptions::excludeVolumeId)},
        {"excludeDirectory", boolField(&ListingOptions::excludeDirectory)},
        {"excludeArchive", boolField(&ListingOptions::excludeArchive)},
        {"excludeAnyFile", boolField(&ListingOptions::excludeAnyFile)},
        {"sizeFilterEnabled", boolField(&ListingOptions::sizeFilterEnabled)},
        {"sizeFilterMode",
         [](const std::string& text, ListingOptions& o) {
             int value = 0;
             if (!parseInt(text, value) || value < -1 || value > 1)
                 return false;
             o.sizeFilterMode = static_cast<SizeFilterMode>(value);
             return true;
         }},
        {"sizeFilterKb",
         [](const std::string& text, ListingOptions& o) {
             std::int64_t value = 0;
             if (!parseInt(text, value) || value < 0)
                 return false;
             o.sizeFilterKb = value;
             return true;
         }},
        {"dateFilterEnabled", boolField(&ListingOptions::dateFilterEnabled)},
        {"dateFrom", dateField(&ListingOptions::dateFrom)},
        {"dateTo", dateField(&ListingOptions::dateTo)},
        {"includeSubfolders", boolField(&ListingOptions::includeSubfolders)},
        {"openAfterCreation", boolField(&ListingOptions::openAfterCreation)},
        {"pdfTitle", textField(&ListingOptions::pdfTitle)},
        {"pdfAuthor", textField(&ListingOptions::pdfAuthor)},
        {"pdfSecurity", boolField(&ListingOptions::pdfSecurity)},
        {"pdfPassword", textField(&ListingOptions::pdfPassword)},
        {"pdfPasswordConfirm", textField(&ListingOptions::pdfPasswordConfirm)},
        {"allowPrint", boolField(&ListingOptions::allowPrint)},
        {"allowChange", boolField(&ListingOptions::allowChange)},
        {"allowCopy", boolField(&ListingOptions::allowCopy)},
        {"landscape", boolField(&ListingOptions::landscape)},
        {"listingFont",
         [](const std::string& text, ListingOptions& o) {
             auto comma = text.rfind(',');
             int size = 0;
             if (comma == std::string::npos || comma == 0 || !parseInt(text.substr(comma + 1), size) || size < 1)
                 return false;
             o.listingFont.face = text.substr(0, comma);
             o.listingFont.pointSize = size;
             return true;
         }},
        {"folderColor", colorField(&ListingOptions::folderColor)},
        {"fileColor", colorField(&ListingOptions::fileColor)},
    };
    return table;
}

} // namespace

void applyOptionLine(const std::string& line, ListingOptions& options)
{
    auto equals = line.find('=');
    if (equals == std::string::npos)
        throw OptionsFileError("no \"=\" in \"" + line + "\"");
    std::string field = line.substr(0, equals);
    std::string value = line.substr(equals + 1);
    auto setter = setters().find(field);
    if (setter == setters().end())
        throw OptionsFileError("unknown field \"" + field + "\"");
    if (!setter->second(value, options))
        throw OptionsFileError("bad value \"" + value + "\" for " + field);
}

void applyOptionsFile(const std::string& path, ListingOptions& options)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw OptionsFileError(path + ": cannot be read");
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        try {
            applyOptionLine(line, options);
        } catch (const OptionsFileError& error) {
            throw OptionsFileError(path + ":" + std::to_string(number) + ": " + error.what());
        }
    }
}

} // namespace zintrel
