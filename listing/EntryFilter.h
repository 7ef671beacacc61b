#pragma once

#include "Attributes.h"
#include "ListingOptions.h"
#include "MaskFilter.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zintrel {

struct WalkEntry;

// The set of attribute bits an entry may carry: the bits of the attribute flags that are off.
std::uint32_t buildAttributeMask(const ListingOptions& options);

// The rules that decide, entry by entry, what a listing shows. Built once per save from the
// options; reads nothing else afterwards.
class EntryFilter {
public:
    enum class Verdict {
        Skip, // passed over entirely: no line, and a folder is not entered
        Hide, // no line, but a folder is still entered
        List, // gets its line
    };

    explicit EntryFilter(const ListingOptions& options);

    // Files the save itself is writing (device, inode): skipped, even inside the listed tree.
    void skipFile(std::uint64_t device, std::uint64_t inode) { m_ownFiles.emplace_back(device, inode); }

    // The attribute test first (and the save's own files), then size, date and masks.
    Verdict judge(const WalkEntry& entry) const;

    const std::vector<std::string>& masks() const { return m_masks.masks(); }
    std::uint32_t attributeMask() const { return m_attributeMask; }

private:
    bool passes(const WalkEntry& entry, bool isFolder) const;

    std::uint32_t m_attributeMask;
    bool m_foldersOnly;
    bool m_sizeFilter;
    SizeFilterMode m_sizeMode;
    std::int64_t m_sizeKb;
    // The date filter as [m_dateLow, m_dateHighEnd): whole local days.
    bool m_dateFilter;
    std::time_t m_dateLow = 0;
    std::time_t m_dateHighEnd = 0;
    MaskFilter m_masks;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_ownFiles;
};

} // namespace zintrel
