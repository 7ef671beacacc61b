#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace zintrel {

// The folder search of the walk: a folder's names in name order, and what the walk needs
// to know of each entry. Safe on any thread.

// A folder's names, each ending in '\0', with where each begins and its type as the folder
// gave it (d_type), both in name order (nameLess).
struct FolderNames {
    std::vector<char> names;
    std::vector<std::uint32_t> order;
    std::vector<unsigned char> types;

    std::size_t size() const { return order.size(); }
    const char* name(std::size_t i) const { return names.data() + order[i]; }
};

// Reads the folder open at fd, "." and ".." left out, and puts its names in order.
// Returns 0 or the errno of a failed read.
int readFolderNames(int fd, FolderNames& names);

// One entry as the walk lists it. A link carries the data of what it points to (a dangling
// one its own); only a real folder is enterable.
struct EntryData {
    int error = 0; // 0, or the errno of a failed look at the entry (ENOENT: it is gone)
    bool enterable = false;
    std::uint32_t attributes = 0; // the AttributeBit values
    std::int64_t size = 0;        // bytes; 0 for a folder
    std::time_t time = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

EntryData statEntry(int folderFd, const char* name);

// Kernel file systems that hold no user files and may never end (proc, sysfs, ...).
bool isPseudoFileSystem(int fd);

} // namespace zintrel
