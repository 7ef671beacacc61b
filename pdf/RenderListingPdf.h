#pragma once

#include "ListingBookmarks.h"
#include "platform/CancelToken.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zintrel {

class InputFile;
class ListingProgress;
class OutputFile;
struct ListingOptions;

// Who made the PDF, as its document information tells.
inline constexpr const char* kMakerName = "Zintrel Software";
inline constexpr const char* kProductName = "Zintrel v1.0";

inline constexpr const char* kFontNotice
    = "The selected font can not be used in a PDF. The default font will be used !";

// What a rendering may tell, and be told, while it runs. Every member may be left empty.
struct PdfRendering {
    const CancelToken& cancel = CancelToken::none();         // raised: SaveCancelled
    std::function<void(const std::string&)> notice;          // notices that do not end the save
    ListingProgress* progress = nullptr;                     // told of the lines drawn, then the finish
    std::int64_t lineCount = 0;                              // the listing's lines, for the progress
    const std::vector<ListingBookmark>* bookmarks = nullptr; // in the order of their lines
    int threads = 0; // threads drawing pages at once; 0: as suits the listing and the machine
};

// Lays a finished listing text file out as a PDF document: black header and footer lines,
// entry lines in the folder or file colour, pages broken at a fixed bottom limit, then the
// document information and the chosen permissions and passwords. Reads the listing from
// its start and writes the finished PDF to target (which the caller flushes and puts in
// place). Every failure throws an exception whose what() is the text for the error box.
// "Zintrel Software   (https://www.example.org/)"
std::string makerInformation();
// "Zintrel v1.0 (https://www.example.org/)"
std::string productInformation();

// Why a listing with these options cannot be drawn: a text size outside what a PDF holds,
// or a font so large that even the first line of a page would stand below the bottom
// limit; empty when it can.
std::string pdfLayoutRefusal(const ListingOptions& options);

void RenderListingPdf(const InputFile& listing, OutputFile& target, const ListingOptions& options,
                      const PdfRendering& how);

} // namespace zintrel
