#include "PdfPlugin.h"

#include "pdf/PdfSupport.h"

#include <memory>

namespace {

std::unique_ptr<zintrel::PdfSupport> g_support;

} // namespace

const zintrel::OutputMaker* zintrelStartPdf(int argc, char** argv)
{
    if (!g_support)
        g_support = std::make_unique<zintrel::PdfSupport>(argc, argv);
    return g_support->pdfOutput();
}

void zintrelStopPdf() { g_support.reset(); }
