#include "ListingPdfOutput.h"

#include "RenderListingPdf.h"
#include "platform/InputFile.h"

namespace zintrel {

ListingPdfOutput::ListingPdfOutput(const OutputSetup& setup)
    : m_setup(setup)
    , m_listing(setup.scratchFolder, "zintrel-listing-", ".txt", setup.target)
    , m_listingOut(m_listing.fd(), setup.target)
    , m_text(setup.options, m_listingOut, setup.dateTimeFormat, &m_names)
{
    if (m_setup.ownFile)
        m_setup.ownFile(m_listing.fd());
}

ListingPdfOutput::~ListingPdfOutput() = default;

void ListingPdfOutput::begin(const std::string& folder, std::time_t now) { m_text.begin(folder, now); }

void ListingPdfOutput::folderEntered(std::string_view path, int level, bool listed)
{
    m_text.folderEntered(path, level, listed);
    m_bookmarks.folderEntered(path, level, listed, m_text.linesWritten() + 1);
}

void ListingPdfOutput::folderLeft()
{
    m_text.folderLeft();
    m_bookmarks.folderLeft();
}

void ListingPdfOutput::entry(const ListedEntry& entry)
{
    m_text.entry(entry);
    m_bookmarks.entry(entry, m_text.linesWritten());
}

void ListingPdfOutput::finish(const ListingTotals& totals)
{
    m_text.finish(totals);
    m_listingOut.flush();
    PdfRendering how{m_setup.cancel,        m_setup.notice,           m_setup.progress,
                     m_text.linesWritten(), &m_bookmarks.bookmarks(), m_setup.drawingThreads};
    RenderListingPdf(InputFile(m_listing.fd(), m_setup.target), m_setup.out, m_setup.options, how);
}

std::string ListingPdfMaker::refusal(const ListingOptions& options) const { return pdfLayoutRefusal(options); }

std::unique_ptr<ListingOutput> ListingPdfMaker::make(const OutputSetup& setup) const
{
    return std::make_unique<ListingPdfOutput>(setup);
}

} // namespace zintrel
