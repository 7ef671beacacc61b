#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace zintrel {

class OutputFile;

// The working state of one save. Every run step fills it afresh; the walk updates the
// counters and the footer prints them.
struct ListingRunState {
    OutputFile* listingFile = nullptr; // open from the header to the footer
    std::string processedFolder;
    std::vector<std::string> maskList; // in capitals; empty: no mask filter
    bool includeSubfolders = true;
    bool foldersOnly = false; // "Any file" leaves out everything that is not a folder
    int fieldSpacing = 0;
    int indentSize = 0;
    std::string fieldSeparator;
    // Date filter as [dateLow, dateHighEnd) in seconds; inactive unless dateFilterActive.
    bool dateFilterActive = false;
    std::time_t dateLow = 0;
    std::time_t dateHighEnd = 0;
    // Files this save is writing (device, inode): never listed, even inside the listed tree.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ownFiles;
    std::int64_t folderCount = 0;
    std::int64_t fileCount = 0;
    std::int64_t totalSizeKb = 0;
};

} // namespace zintrel
