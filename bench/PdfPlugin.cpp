#include "PdfPlugin.h"

#include "pdf/PdfSupport.h"

#include <memory>

zintrel::PdfRenderer* zintrelStartPdf(int argc, char** argv)
{
    static std::unique_ptr<zintrel::PdfSupport> support;
    if (!support)
        support = std::make_unique<zintrel::PdfSupport>(argc, argv);
    return support->renderer();
}
