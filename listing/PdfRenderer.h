#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace zintrel {

struct ListingOptions;

// Lays a finished listing text file out as a PDF document.
class PdfRenderer {
public:
    virtual ~PdfRenderer() = default;
    // Reads listingPath and writes the finished PDF to outputPath (which the caller then
    // puts in place). Notices that do not end the save go to notice; every failure throws
    // an exception whose what() is the text for the error box. Checks cancel between lines
    // and throws SaveCancelled when it is raised.
    virtual void render(const std::string& listingPath, const std::string& outputPath,
                        const ListingOptions& options, const std::function<void(const std::string&)>& notice,
                        const std::atomic<bool>* cancel)
        = 0;
};

} // namespace zintrel
