#pragma once

#include "IsoTimeText.h"
#include "ListingOutput.h"

#include <memory>
#include <string>
#include <vector>

namespace zintrel {

class OutputFile;

// The listing as one JSON document, written as the walk goes with a stack of open folders
// only: "listing" (the folder, the time of the listing, the settings in force), "tree" (the
// listed folder as {"type":"directory","name":..,"contents":[..]}, folders nested in it)
// and "totals" (the footer's counts, and the bytes of the files listed). A folder whose own
// line the filters left out still holds what was listed inside it, marked "listed":false,
// and is left out when nothing inside it was listed. Names that are not UTF-8 have each bad
// byte replaced by U+FFFD in "name" and their bytes in hex in "name_hex". Write failures
// throw IoError.
class JsonListing : public ListingOutput {
public:
    JsonListing(const ListingOptions& options, OutputFile& out);

    void begin(const std::string& folder, std::time_t now) override;
    void folderEntered(std::string_view path, int level, bool listed) override;
    void folderLeft() override;
    void entry(const ListedEntry& entry) override;
    void finish(const ListingTotals& totals) override;

private:
    // A folder entered and not written yet: written when something inside it is listed.
    struct Folder {
        std::string name;
        bool written = false;
        bool empty = true; // nothing written in its contents yet
    };
    void closeOpenEntry();
    void writeFolders();
    void startItem();
    void appendSettings();

    const ListingOptions& m_options;
    OutputFile& m_out;
    IsoTimeText m_times;
    std::vector<Folder> m_folders;
    bool m_entryOpen = false; // a folder's line written without its closing brace
    std::string m_listedFolder;
    std::int64_t m_listedBytes = 0;
    std::string m_text;
};

std::unique_ptr<ListingOutput> makeJsonListing(const OutputSetup& setup);

} // namespace zintrel
