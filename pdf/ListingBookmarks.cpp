#include "ListingBookmarks.h"

#include "listing/Attributes.h"
#include "listing/ListingOutput.h"
#include "listing/ListingText.h"

namespace zintrel {

int ListingBookmarks::add(std::string_view name, std::int64_t line)
{
    int parent = -1;
    for (auto open = m_open.rbegin(); open != m_open.rend() && parent < 0; ++open)
        parent = *open;
    ListingBookmark bookmark;
    bookmark.line = line;
    bookmark.parent = parent;
    appendOneLine(bookmark.title, name);
    m_bookmarks.push_back(std::move(bookmark));
    return static_cast<int>(m_bookmarks.size()) - 1;
}

void ListingBookmarks::entry(const ListedEntry& entry, std::int64_t line)
{
    m_last = -1;
    if ((entry.attributes & kDirectory) && entry.level <= kBookmarkLevels)
        m_last = add(entry.name, line);
}

void ListingBookmarks::folderEntered(std::string_view path, int level, bool listed, std::int64_t nextLine)
{
    // The folder itself stands one level above its entries; the folder listed has none.
    const int folderLevel = level - 1;
    int bookmark = -1;
    if (listed) {
        bookmark = m_last;
    } else if (folderLevel >= 1 && folderLevel <= kBookmarkLevels) {
        std::string_view name = path.substr(0, path.size() - 1);
        name = name.substr(name.rfind('/') + 1);
        bookmark = add(name, nextLine);
    }
    m_open.push_back(bookmark);
    m_last = -1;
}

void ListingBookmarks::folderLeft()
{
    if (!m_open.empty())
        m_open.pop_back();
}

} // namespace zintrel
