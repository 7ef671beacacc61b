#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace zintrel {

class DateTimeText;
struct ListingOptions;
struct ListingRunState;

// Told of every folder the walk enters, on the walking thread; keep it cheap.
class ListingProgress {
public:
    virtual ~ListingProgress() = default;
    virtual void folderEntered(const std::string& path, std::int64_t folders, std::int64_t files) = 0;
};

// Thrown out of the walk when the cancel flag is raised.
struct SaveCancelled {};

struct WalkContext {
    DateTimeText* dates = nullptr;
    ListingProgress* progress = nullptr;     // may be null
    const std::atomic<bool>* cancel = nullptr; // may be null; checked for every entry
};

// Writes one line per accepted entry of folder (and, when the run state asks, of every
// folder below it) to state.listingFile, depth first, in the order the folder gives its
// entries, and updates the counters. Unreadable folders yield nothing; write failures
// throw IoError. Keeps a bounded number of descriptors open and recurses on the heap,
// so a tree of any depth works.
void walkFolder(ListingRunState& state, const ListingOptions& options, const std::string& folder,
                std::uint32_t attributeMask, int level, const WalkContext& context);

} // namespace zintrel
