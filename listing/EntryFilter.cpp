#include "EntryFilter.h"

#include "Capitals.h"
#include "FolderWalk.h"
#include "Kilobytes.h"

#include <algorithm>

namespace zintrel {

namespace {

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
    , m_masks(options.fileMask)
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
    if (!m_masks.empty())
        return !isFolder && m_masks.fits(entry.name);
    return true;
}

} // namespace zintrel
