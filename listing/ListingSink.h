#pragma once

#include "FolderWalk.h"
#include "ListingOutput.h"
#include "ListingRunState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zintrel {

class EntryFilter;
class ListingProgress;

// How many of the folders a save could not read are named to the user.
inline constexpr std::size_t kUnreadableShown = 10;

// Between the walk and the output: every entry goes through the filter, what passes is
// counted and handed to the output, and the folders the walk enters and leaves are told to
// it whether or not their own lines were listed. Folders that could not be read are noted.
class ListingSink : public WalkSink {
public:
    // state: the run step's state, filled afresh here (counters at 0).
    ListingSink(const EntryFilter& filter, ListingOutput& output, ListingRunState& state, ListingProgress* progress);

    void folderEntered(std::string_view path, int level) override;
    void folderLeft() override;
    bool entry(const WalkEntry& entry) override;
    void folderUnreadable(std::string_view path, int error) override;

    ListingTotals totals() const;
    std::int64_t unreadableFolders() const { return m_unreadable; }
    // The first of them, at most kUnreadableShown.
    const std::vector<std::string>& firstUnreadable() const { return m_firstUnreadable; }

private:
    const EntryFilter& m_filter;
    ListingOutput& m_output;
    ListingRunState& m_state;
    ListingProgress* m_progress;
    bool m_lastListed = false; // the entry just handed on was listed
    std::int64_t m_unreadable = 0;
    std::vector<std::string> m_firstUnreadable;
};

} // namespace zintrel
