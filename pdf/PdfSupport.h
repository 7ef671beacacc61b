#pragma once

#include <memory>

class QGuiApplication;

namespace zintrel {

class ListingPdfMaker;
class OutputMaker;

// What a program without windows needs for PDF output: a QGuiApplication (offscreen unless
// QT_QPA_PLATFORM says otherwise) when none runs yet, the font substitutes, and the output.
// The process's C locale is left as it was.
class PdfSupport {
public:
    PdfSupport(int argc, char** argv);
    ~PdfSupport();
    PdfSupport(const PdfSupport&) = delete;
    PdfSupport& operator=(const PdfSupport&) = delete;

    // Lives as long as this object.
    const OutputMaker* pdfOutput() const;

private:
    // QGuiApplication keeps references to both, so they live here, before it.
    int m_argc;
    std::unique_ptr<char*[]> m_argv;
    std::unique_ptr<QGuiApplication> m_application;
    std::unique_ptr<ListingPdfMaker> m_output;
};

} // namespace zintrel
