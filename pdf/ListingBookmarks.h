#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zintrel {

struct ListedEntry;

// The folder lines of the first levels, for a PDF's bookmarks.
inline constexpr int kBookmarkLevels = 3;

// One bookmark: the line it leads to, the bookmark it is nested under, and its title.
struct ListingBookmark {
    std::int64_t line = 0; // in the listing, from 1 (the header's first line)
    int parent = -1;       // index of an earlier bookmark; -1: at the top
    std::string title;     // the folder's name as its line shows it (UTF-8 as far as it is)
};

// Follows a listing as it is written and notes a bookmark for every folder line of the
// first levels, nested under the bookmark of its nearest ancestor that has one (or at the
// top), so that a folder left out by the filters still has its subfolders' bookmarks in
// the right place. Memory: the bookmarks, and one number a level of the current path.
class ListingBookmarks {
public:
    // In the order of the listing: a listed entry with the number of its line, and the
    // folders entered (listed: their own line came just before) and left.
    void entry(const ListedEntry& entry, std::int64_t line);
    void folderEntered(bool listed);
    void folderLeft();

    const std::vector<ListingBookmark>& bookmarks() const { return m_bookmarks; }

private:
    std::vector<ListingBookmark> m_bookmarks;
    std::vector<int> m_open; // for each folder entered: its bookmark, or -1
    int m_last = -1;         // the bookmark of the entry listed last, or -1
};

} // namespace zintrel
