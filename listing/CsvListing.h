#pragma once

#include "IsoTimeText.h"
#include "ListingColumns.h"
#include "ListingOutput.h"

#include <memory>
#include <string>
#include <vector>

namespace zintrel {

class OutputFile;

// The listing as RFC 4180 comma-separated values for spreadsheets: a header row naming the
// chosen columns in the listing's order and then Type, and one row per listed entry, each
// ending in CR LF; no header block, no footer. Values are raw: size in bytes, the time as
// ISO 8601 local time with its offset, attributes as their letters, the level, the full
// path, "folder" or "file". Names go out byte for byte, so a name that is not UTF-8 keeps
// its bytes. Write failures throw IoError.
class CsvListing : public ListingOutput {
public:
    CsvListing(const ListingOptions& options, OutputFile& out);

    void begin(const std::string& folder, std::time_t now) override;
    void folderEntered(std::string_view path, int level, bool listed) override;
    void folderLeft() override;
    void entry(const ListedEntry& entry) override;
    void finish(const ListingTotals& totals) override;

private:
    void appendField(std::string_view first, std::string_view second = {});

    OutputFile& m_out;
    std::vector<const ListingColumn*> m_columns;
    IsoTimeText m_times;
    std::string m_row;
};

std::unique_ptr<ListingOutput> makeCsvListing(const OutputSetup& setup);

} // namespace zintrel
