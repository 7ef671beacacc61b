#pragma once

#include "listing/PdfRenderer.h"
#include "platform/WebAddresses.h"

namespace zintrel {

class PdfDocument;

// Who made the PDF, as its document information tells.
inline constexpr const char* kMakerName = "Zintrel Software";
inline constexpr const char* kMakerAddress = kMakerWebSite;
inline constexpr const char* kProductName = "Zintrel v1.0";

inline constexpr const char* kFontNotice
    = "The selected font can not be used in a PDF. The default font will be used !";

// Lays a listing out line by line: black header and footer, entry lines in the folder or
// file colour, pages broken at a fixed bottom limit, then the document information and the
// chosen permissions and passwords. Needs a QGuiApplication.
class ListingPdfRenderer : public PdfRenderer {
public:
    void render(const InputFile& listing, OutputFile& output, const ListingOptions& options,
                const RenderHooks& hooks) override;

private:
    // Line by line on this thread, as the listing gives them.
    void drawInOrder(PdfDocument& document, const InputFile& listing, const ListingOptions& options,
                     const RenderHooks& hooks);
    // Information, permissions and encryption, then the document saved into output.
    void finishDocument(PdfDocument& document, OutputFile& output, const ListingOptions& options,
                        const RenderHooks& hooks);
};

// "Zintrel Software   (https://www.example.org/)"
std::string makerInformation();
// "Zintrel v1.0 (https://www.example.org/)"
std::string productInformation();

} // namespace zintrel
