#pragma once

#include "platform/DateTimeText.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zintrel {

class CancelToken;
class ListingProgress;
class OutputFile;
struct ListingOptions;

// One entry a listing shows, as the file system gave it. Each output formats what it shows
// itself; the views are valid during the call only.
struct ListedEntry {
    std::string_view name;        // the name's bytes, as the folder holds them
    std::string_view folder;      // the folder that holds it, a path ending in '/'
    std::int64_t size = 0;        // bytes; 0 for a folder
    std::uint32_t attributes = 0; // the AttributeBit values
    std::time_t time = 0;         // last modification, seconds since the epoch
    int level = 1;                // 1 for the entries of the folder listed
    // A folder the walk goes into next: its folderEntered() follows, unless it turns out
    // it cannot be read.
    bool descends = false;
};

// What the footer counts: the folder lines, the file lines and their size in Kb.
struct ListingTotals {
    std::int64_t folders = 0;
    std::int64_t files = 0;
    std::int64_t totalSizeKb = 0;
};

// What an output is given when a save makes it, before the walk. References stay valid
// until the output is gone.
struct OutputSetup {
    const ListingOptions& options;
    OutputFile& out;           // where the output's bytes go; the save flushes and commits it
    const std::string& target; // the file the user chose, for messages
    std::string scratchFolder; // for temporary files of the output's own
    DateTimeFormat dateTimeFormat;
    const CancelToken& cancel;
    ListingProgress* progress = nullptr; // may be null
    int drawingThreads = 0;              // for outputs drawn on threads; 0: as suits them
    // Notices that do not end the save (a message box the save does not wait on).
    std::function<void(const std::string&)> notice;
    // Every file the output writes besides out, by its descriptor: the walk never lists it.
    std::function<void(int fd)> ownFile;
};

// What a save writes, fed as the walk streams: begin(), then the folders entered and left
// with the entries that passed the filters in between, then finish(). Called on the thread
// that runs the save. Every failure throws (IoError for file trouble, SaveCancelled on
// cancel); the save then removes what the output wrote.
class ListingOutput {
public:
    virtual ~ListingOutput() = default;

    // Before the walk: the folder listed, as the folder tree gives it, and the time of the
    // listing.
    virtual void begin(const std::string& folder, std::time_t now) = 0;
    // Every folder the walk goes into, the listed one first, and the return from it.
    // path ends in '/'; level is that of its entries; listed: its own line was listed
    // just before (never for the folder listed).
    virtual void folderEntered(std::string_view path, int level, bool listed) = 0;
    virtual void folderLeft() = 0;
    // An entry that passed the filters, in the listing's order.
    virtual void entry(const ListedEntry& entry) = 0;
    // After the walk: writes what is left and flushes it into setup.out.
    virtual void finish(const ListingTotals& totals) = 0;
};

// Makes an output that lives in another library (a PDF): the save asks for one per save.
class OutputMaker {
public:
    virtual ~OutputMaker() = default;
    // The message that refuses settings this output cannot write, before the walk; empty
    // when they are fine.
    virtual std::string refusal(const ListingOptions&) const { return {}; }
    virtual std::unique_ptr<ListingOutput> make(const OutputSetup& setup) const = 0;
};

} // namespace zintrel
