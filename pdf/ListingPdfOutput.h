#pragma once

#include "BidiIsolates.h"
#include "ListingBookmarks.h"
#include "listing/ListingOutput.h"
#include "listing/TextListing.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"

#include <memory>
#include <string>

namespace zintrel {

// The PDF listing. The walk's lines go to a temporary text file, as the text listing has
// them but for right-to-left names, which are put in isolates; the bookmarks are noted on
// the way, by the numbers of their lines. finish() then lays the text out as a PDF into
// setup.out (RenderListingPdf). The temporary text never outlives the output.
class ListingPdfOutput : public ListingOutput {
public:
    explicit ListingPdfOutput(const OutputSetup& setup);
    ~ListingPdfOutput() override;

    void begin(const std::string& folder, std::time_t now) override;
    void folderEntered(std::string_view path, int level, bool listed) override;
    void folderLeft() override;
    void entry(const ListedEntry& entry) override;
    void finish(const ListingTotals& totals) override;

private:
    OutputSetup m_setup;
    TempFile m_listing;
    OutputFile m_listingOut;
    IsolatedNames m_names;
    TextListing m_text;
    ListingBookmarks m_bookmarks;
};

// Makes the PDF output of a save.
class ListingPdfMaker : public OutputMaker {
public:
    std::string refusal(const ListingOptions& options) const override;
    std::unique_ptr<ListingOutput> make(const OutputSetup& setup) const override;
};

} // namespace zintrel
