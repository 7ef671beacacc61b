#include "PdfPlugin.h"

#include "pdf/ListingPdfOutput.h"

#include <memory>

namespace {

std::unique_ptr<zintrel::ListingPdfMaker> g_output;

} // namespace

const zintrel::OutputMaker* zintrelStartPdf(int, char**)
{
    if (!g_output)
        g_output = std::make_unique<zintrel::ListingPdfMaker>();
    return g_output.get();
}

void zintrelStopPdf() { g_output.reset(); }
