#pragma once

#include "ListingColumns.h"
#include "ListingOutput.h"
#include "platform/DateTimeText.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

class OutputFile;

// Appends text as HTML character data or a quoted attribute value: bytes that are not UTF-8
// become U+FFFD, control characters "?" (as in a text line), and & < > " ' references.
void appendHtmlText(std::string& out, std::string_view text);
// Appends text as a JSON string, quotes included, fit for a <script> element: the same
// replacements, and < > & U+2028 U+2029 written as \u escapes so that no name can end the
// element or open a comment in it.
void appendJsonString(std::string& out, std::string_view text);

// The HTML catalogue: one self-contained page with the header lines, the tree of folders
// and files with the chosen columns, a search box and the footer. The first two levels are
// markup that reads without script; what lies deeper is written as compact JSON in a
// <script type="application/json"> element per folder of the second level, and drawn by
// the page's script as folders open. Nothing is kept in memory but the folders being
// walked.
class HtmlListing : public ListingOutput {
public:
    HtmlListing(const ListingOptions& options, OutputFile& out, const DateTimeFormat& dateTimeFormat);

    void begin(const std::string& folder, std::time_t now) override;
    void folderEntered(std::string_view path, int level, bool listed) override;
    void folderLeft() override;
    void entry(const ListedEntry& entry) override;
    void finish(const ListingTotals& totals) override;

private:
    struct Frame {
        std::size_t pathLength; // of m_path, this folder's path included
        bool json;              // its entries go into JSON
        bool opensScript;       // its entries start a script element of their own
        bool written;           // its opening went out (an unlisted folder waits for an entry)
        bool listed;            // its own line was listed
        bool hasChildren = false;
    };
    void closePendingFolder();
    void writeOpenings();
    void openChildren(Frame& frame);
    void closeFrame(const Frame& frame);

    const ListingOptions& m_options;
    OutputFile& m_out;
    DateTimeText m_dates;
    std::vector<const ListingColumn*> m_columns;
    std::vector<Frame> m_frames;
    std::string m_path;           // the folder being walked
    bool m_pendingFolder = false; // a folder of the markup whose entries may follow
    std::string m_line;
    std::string m_scratch;
    std::string m_shownFolder;
};

std::unique_ptr<ListingOutput> makeHtmlListing(const OutputSetup& setup);

} // namespace zintrel
