#pragma once

#include <cstdint>
#include <string>

namespace zintrel {

// The working state of one save's run step: the folder listed, whether the walk goes below
// it, and the counters the listed lines add up to, which the footer prints.
struct ListingRunState {
    std::string processedFolder;
    bool includeSubfolders = true;
    std::int64_t folderCount = 0;
    std::int64_t fileCount = 0;
    std::int64_t totalSizeKb = 0;
};

} // namespace zintrel
