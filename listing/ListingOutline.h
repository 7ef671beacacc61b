#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zintrel {

struct WalkEntry;

// The folder lines of the first levels, for a PDF's bookmarks.
inline constexpr int kOutlineLevels = 3;

// One bookmark: the line it leads to, the bookmark it is nested under, and its title.
struct OutlineEntry {
    std::int64_t line = 0; // in the listing file, from 1 (the header's first line)
    int parent = -1;       // index of an earlier entry; -1: at the top
    std::string title;     // the folder's name as its line shows it (UTF-8 as far as it is)
};

// Follows the walk and notes a bookmark for every folder line of the first levels, nested
// under the bookmark of its nearest ancestor that has one (or at the top), so that a
// folder left out by the filters still has its subfolders' bookmarks in the right place.
// Memory: the bookmarks, and one number a level of the current path.
class OutlineRecorder {
public:
    // The events of the walk, in its order: an entry (listed at line, or not listed), and
    // the folders entered and left.
    void entry(const WalkEntry& entry, std::int64_t line);
    void entryNotListed() { m_pending = -1; }
    void folderEntered();
    void folderLeft();

    std::vector<OutlineEntry>& entries() { return m_entries; }

private:
    std::vector<OutlineEntry> m_entries;
    std::vector<int> m_open; // for each folder entered: its bookmark, or -1
    int m_pending = -1;      // the bookmark of the folder the walk may enter next
};

} // namespace zintrel
