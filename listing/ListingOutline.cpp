#include "ListingOutline.h"

#include "EntryFilter.h"
#include "FolderWalk.h"
#include "ListingText.h"

namespace zintrel {

void OutlineRecorder::entry(const WalkEntry& entry, std::int64_t line)
{
    m_pending = -1;
    if (!(entry.attributes & kDirectory) || entry.level > kOutlineLevels)
        return;
    int parent = -1;
    for (auto open = m_open.rbegin(); open != m_open.rend() && parent < 0; ++open)
        parent = *open;
    OutlineEntry bookmark;
    bookmark.line = line;
    bookmark.parent = parent;
    appendOneLine(bookmark.title, entry.name);
    m_entries.push_back(std::move(bookmark));
    m_pending = static_cast<int>(m_entries.size()) - 1;
}

void OutlineRecorder::folderEntered()
{
    m_open.push_back(m_pending);
    m_pending = -1;
}

void OutlineRecorder::folderLeft()
{
    if (!m_open.empty())
        m_open.pop_back();
}

} // namespace zintrel
