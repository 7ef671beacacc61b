#pragma once

#include "platform/CancelToken.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace zintrel {

class IoError;

// One entry of a folder as the walk found it. A link carries the data of what it points to
// (a dangling one its own); only a real folder is enterable.
struct WalkEntry {
    std::string_view name;
    std::string_view folder;      // the folder being read, ending in '/'
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
    // A folder below the start that could not be read (or not wholly): path without its
    // final '/', error the errno.
    virtual void folderUnreadable(std::string_view path, int error) = 0;
};

// The third line of the error box when the folder to list cannot be read.
inline constexpr const char* kUnreadableStartFolder = "The folder to list cannot be read.";
// The same when the process has too many files open to open it: not the folder's fault.
inline constexpr const char* kStartFolderTooManyFiles = "Too many files are open to read the folder to list.";

// The error for a start folder that could not be opened or read, error the errno.
IoError startFolderError(int error, const std::string& folder);

struct WalkContext {
    const CancelToken& cancel = CancelToken::none(); // looked at for every entry
    // Threads that read folders and look at entries ahead of the walk; -1: as many as suit
    // the machine and the descriptor limit, 0: none.
    int workers = -1;
    // Whether the sink will have the walk enter subfolders, so reading them ahead pays.
    bool subfolders = true;
};

// Hands every entry of folder, and of the folders the sink asks for below it, to sink,
// depth first: a folder's entry, then everything below it, then its next sibling, each
// folder's entries in name order (nameLess), as a reader of the listing looks for them. A folder below the start that
// cannot be read yields nothing and is told to the sink; the walk never enters kernel
// pseudo file systems. Throws IoError when the start folder cannot be read or the process
// runs out of descriptors (never a silently short walk), SaveCancelled when the cancel
// token is raised, and lets the sink's exceptions through. Keeps a bounded number of
// descriptors open and recurses on the heap, so a tree of any depth works. Memory: the
// names of one folder per level of the current path, plus four bytes a name to order them.
void walkFolder(const std::string& folder, int level, WalkSink& sink, const WalkContext& context = {});

} // namespace zintrel
