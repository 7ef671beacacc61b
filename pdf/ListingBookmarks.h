#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// Follows a listing as it is written and notes a bookmark for every folder of the first
// levels, nested under the bookmark of its parent (or at the top): a listed folder's leads
// to its line; one the filters leave out (a mask leaves out every folder line) still
// structures the listing, and its bookmark leads to where its contents begin. Memory: the
// bookmarks, and one number a level of the current path.
class ListingBookmarks {
public:
    // In the order of the listing: a listed entry with the number of its line, and the
    // folders entered and left. path ends in '/'; level is that of its entries; listed: its
    // own line came just before; nextLine: the number the next line written will have.
    void entry(const ListedEntry& entry, std::int64_t line);
    void folderEntered(std::string_view path, int level, bool listed, std::int64_t nextLine);
    void folderLeft();

    const std::vector<ListingBookmark>& bookmarks() const { return m_bookmarks; }

private:
    int add(std::string_view name, std::int64_t line);

    std::vector<ListingBookmark> m_bookmarks;
    std::vector<int> m_open; // for each folder entered: its bookmark, or -1
    int m_last = -1;         // the bookmark of the entry listed last, or -1
};

} // namespace zintrel
