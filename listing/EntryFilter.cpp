#include "EntryFilter.h"

#include "Capitals.h"
#include "FolderWalk.h"
#include "Kilobytes.h"

#include <algorithm>

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

// The years a date filter may name; times beyond them pass no date filter.
constexpr int kFirstYear = 1;
constexpr int kLastYear = 9999;

// Start of the local day of a date, or of a day after it.
std::time_t startOfDay(const LocalDateTime& date, int daysLater)
{
    std::tm tm{};
    tm.tm_year = std::clamp(date.year, kFirstYear, kLastYear) - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day + daysLater;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

} // namespace

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

EntryFilter::EntryFilter(const ListingOptions& options)
    : m_attributeMask(buildAttributeMask(options))
    , m_foldersOnly(options.excludeAnyFile)
    , m_sizeFilter(options.sizeFilterEnabled)
    , m_sizeMode(options.sizeFilterMode)
    , m_sizeKb(options.sizeFilterKb)
    , m_dateFilter(options.dateFilterEnabled)
    , m_masks(buildMaskList(options.fileMask))
{
    if (m_dateFilter) {
        m_dateLow = startOfDay(options.dateFrom, 0);
        m_dateHighEnd = startOfDay(options.dateTo, 1);
    }
}

EntryFilter::Verdict EntryFilter::judge(const WalkEntry& entry) const
{
    if ((entry.attributes & ~m_attributeMask) != 0)
        return Verdict::Skip;
    for (const auto& [device, inode] : m_ownFiles) {
        if (device == entry.device && inode == entry.inode)
            return Verdict::Skip;
    }
    bool isFolder = (entry.attributes & kDirectory) != 0;
    if (m_foldersOnly && !isFolder)
        return Verdict::Skip;
    return passes(entry, isFolder) ? Verdict::List : Verdict::Hide;
}

bool EntryFilter::passes(const WalkEntry& entry, bool isFolder) const
{
    if (m_sizeFilter) {
        const std::int64_t valueKb = sizeValueKb(entry.size);
        if (m_sizeMode == SizeFilterMode::AtLeast && valueKb < m_sizeKb)
            return false;
        if (m_sizeMode == SizeFilterMode::AtMost && valueKb > m_sizeKb)
            return false;
    }
    if (m_dateFilter && (entry.time < m_dateLow || entry.time >= m_dateHighEnd))
        return false;
    if (!m_masks.empty()) {
        if (isFolder)
            return false;
        std::string upper = toUpperAscii(entry.name);
        for (const std::string& mask : m_masks) {
            if (matchesMask(upper, mask))
                return true;
        }
        return false;
    }
    return true;
}

} // namespace zintrel
