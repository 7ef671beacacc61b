#include "PdfSupport.h"

#include "FontSubstitutes.h"
#include "ListingPdfOutput.h"

#include <QGuiApplication>

#include <clocale>
#include <cstdlib>
#include <string>

namespace zintrel {

PdfSupport::PdfSupport(int argc, char** argv)
    : m_argc(argc)
    , m_argv(std::make_unique<char*[]>(static_cast<std::size_t>(argc) + 1))
{
    // Qt may take its own options out of the list; the caller's argv stays untouched.
    for (int i = 0; i < argc; ++i)
        m_argv[i] = argv[i];
    m_argv[argc] = nullptr;

    if (!QGuiApplication::instance()) {
        if (!std::getenv("QT_QPA_PLATFORM"))
            ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        // QGuiApplication sets every locale category from the environment; numbers and
        // the rest stay as the program had them.
        std::string locale = std::setlocale(LC_ALL, nullptr);
        m_application = std::make_unique<QGuiApplication>(m_argc, m_argv.get());
        std::setlocale(LC_ALL, locale.c_str());
    }
    registerFontSubstitutes();
    m_output = std::make_unique<ListingPdfMaker>();
}

PdfSupport::~PdfSupport() = default;

const OutputMaker* PdfSupport::pdfOutput() const { return m_output.get(); }

} // namespace zintrel
