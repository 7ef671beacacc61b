#include "ListingBookmarks.h"

#include "listing/Attributes.h"
#include "listing/ListingOutput.h"
#include "listing/ListingText.h"

namespace zintrel {

void ListingBookmarks::entry(const ListedEntry& entry, std::int64_t line)
{
    m_last = -1;
    if (!(entry.attributes & kDirectory) || entry.level > kBookmarkLevels)
        return;
    int parent = -1;
    for (auto open = m_open.rbegin(); open != m_open.rend() && parent < 0; ++open)
        parent = *open;
    ListingBookmark bookmark;
    bookmark.line = line;
    bookmark.parent = parent;
    appendOneLine(bookmark.title, entry.name);
    m_bookmarks.push_back(std::move(bookmark));
    m_last = static_cast<int>(m_bookmarks.size()) - 1;
}

void ListingBookmarks::folderEntered(bool listed)
{
    m_open.push_back(listed ? m_last : -1);
    m_last = -1;
}

void ListingBookmarks::folderLeft()
{
    if (!m_open.empty())
        m_open.pop_back();
}

} // namespace zintrel
