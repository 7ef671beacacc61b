#pragma once

#include <cstdint>
#include <string>

namespace zintrel {

// The working state of one save. Every run step fills it afresh; the footer prints the
// counters the walk's lines added up to.
struct ListingRunState {
    std::string processedFolder;
    bool includeSubfolders = true;
    int fieldSpacing = 0;
    int indentSize = 0;
    std::string fieldSeparator;
    std::int64_t folderCount = 0;
    std::int64_t fileCount = 0;
    std::int64_t totalSizeKb = 0;
};

} // namespace zintrel
