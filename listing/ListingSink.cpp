#include "ListingSink.h"

#include "EntryFilter.h"
#include "Kilobytes.h"
#include "ListingProgress.h"

namespace zintrel {

ListingSink::ListingSink(const EntryFilter& filter, ListingOutput& output, ListingRunState& state,
                         ListingProgress* progress)
    : m_filter(filter)
    , m_output(output)
    , m_state(state)
    , m_progress(progress)
{
    m_state.folderCount = 0;
    m_state.fileCount = 0;
    m_state.totalSizeKb = 0;
}

void ListingSink::folderEntered(std::string_view path, int level)
{
    // A folder is entered right after its own entry, or first of all (the folder listed).
    m_output.folderEntered(path, level, m_lastListed);
    m_lastListed = false;
    if (m_progress)
        m_progress->folderEntered(std::string(path), m_state.folderCount, m_state.fileCount);
}

void ListingSink::folderLeft() { m_output.folderLeft(); }

bool ListingSink::entry(const WalkEntry& entry)
{
    const EntryFilter::Verdict verdict = m_filter.judge(entry);
    const bool descend = verdict != EntryFilter::Verdict::Skip && m_state.includeSubfolders;
    m_lastListed = verdict == EntryFilter::Verdict::List;
    if (m_lastListed) {
        const bool isFolder = (entry.attributes & kDirectory) != 0;
        if (isFolder)
            ++m_state.folderCount;
        else
            ++m_state.fileCount;
        m_state.totalSizeKb += sizeValueKb(entry.size);

        ListedEntry listed;
        listed.name = entry.name;
        listed.folder = entry.folder;
        listed.size = entry.size;
        listed.attributes = entry.attributes;
        listed.time = entry.time;
        listed.level = entry.level;
        listed.descends = descend && entry.enterable;
        m_output.entry(listed);
    }
    return descend;
}

void ListingSink::folderUnreadable(std::string_view path, int)
{
    ++m_unreadable;
    if (m_firstUnreadable.size() < kUnreadableShown)
        m_firstUnreadable.emplace_back(path);
}

ListingTotals ListingSink::totals() const
{
    return ListingTotals{m_state.folderCount, m_state.fileCount, m_state.totalSizeKb};
}

} // namespace zintrel
