#pragma once

#include "ListingOutline.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zintrel {

class InputFile;
class ListingProgress;
class OutputFile;
struct ListingOptions;

// What a rendering may tell, and be told, while it runs. Every member may be left empty.
struct RenderHooks {
    std::function<void(const std::string&)> notice;     // notices that do not end the save
    const std::atomic<bool>* cancel = nullptr;          // raised: throw SaveCancelled
    ListingProgress* progress = nullptr;                // told of every line drawn, then the finish
    std::int64_t lineCount = 0;                         // the listing's lines, for the progress
    const std::vector<OutlineEntry>* outline = nullptr; // the bookmarks, in the order of their lines
    int threads = 0; // threads drawing pages at once; 0: as suits the listing and the machine
};

// Lays a finished listing text file out as a PDF document.
class PdfRenderer {
public:
    virtual ~PdfRenderer() = default;
    // Reads the listing from its start and writes the finished PDF to output (which the
    // caller flushes and puts in place). Every failure throws an exception whose what() is
    // the text for the error box; cancel is checked between lines and while the document
    // is finished.
    virtual void render(const InputFile& listing, OutputFile& output, const ListingOptions& options,
                        const RenderHooks& hooks)
        = 0;
};

} // namespace zintrel
