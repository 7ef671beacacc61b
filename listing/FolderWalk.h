#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace zintrel {

// One entry of a folder as the walk found it. A link carries the data of what it points to
// (a dangling one its own); only a real folder is enterable.
struct WalkEntry {
    std::string_view name;
    std::int64_t size = 0;        // bytes; 0 for a folder
    std::uint32_t attributes = 0; // the AttributeBit values
    std::time_t time = 0;         // last modification, seconds since the epoch
    bool enterable = false;
    dev_t device = 0;
    ino_t inode = 0;
    int level = 1; // 1 for the entries of the folder the walk starts in
};

// Receives the walk as it streams, on the walking thread.
class WalkSink {
public:
    virtual ~WalkSink() = default;
    // A folder whose entries follow, until the matching folderLeft(). path ends in '/'.
    virtual void folderEntered(std::string_view path, int level) = 0;
    virtual void folderLeft() = 0;
    // Every entry but "." and ".."; true: walk into it when it is an enterable folder.
    virtual bool entry(const WalkEntry& entry) = 0;
};

struct WalkContext {
    const std::atomic<bool>* cancel = nullptr; // may be null; checked for every entry
};

// Hands every entry of folder, and of the folders the sink asks for below it, to sink,
// depth first: a folder's entry, then everything below it, then its next sibling, each
// folder's entries in the order the folder gives them. Folders that cannot be read yield
// nothing, and the walk never enters kernel pseudo file systems. Throws SaveCancelled when
// the cancel flag is raised, and lets the sink's exceptions through. Keeps a bounded
// number of descriptors open and recurses on the heap, so a tree of any depth works; its
// memory grows with the depth only (the names of folders below the open levels).
void walkFolder(const std::string& folder, int level, WalkSink& sink, const WalkContext& context = {});

} // namespace zintrel
