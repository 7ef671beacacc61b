#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace zintrel {

class InputFile;
class OutputFile;
struct ListingOptions;

// Lays a finished listing text file out as a PDF document.
class PdfRenderer {
public:
    virtual ~PdfRenderer() = default;
    // Reads the listing from its start and writes the finished PDF to output (which the
    // caller flushes and puts in place). Notices that do not end the save go to notice;
    // every failure throws an exception whose what() is the text for the error box. Checks
    // cancel between lines and throws SaveCancelled when it is raised.
    virtual void render(const InputFile& listing, OutputFile& output, const ListingOptions& options,
                        const std::function<void(const std::string&)>& notice, const std::atomic<bool>* cancel)
        = 0;
};

} // namespace zintrel
