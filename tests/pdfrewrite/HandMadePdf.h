#pragma once

// Small PDFs written by hand for the rewriter's tests, the memory files that hold them, and
// libqpdf reading back what the rewriter made.

#include "platform/FileDescriptor.h"

#include <qpdf/QPDF.hh>

#include <memory>
#include <string>
#include <vector>

namespace zintrel::test {

// One object of a hand-made PDF: its number and what stands between "n 0 obj" and "endobj".
struct HandObject {
    int number;
    std::string body;
};

// The body of a stream object holding data as it is stored; entries go into its
// dictionary after /Length.
std::string streamBody(const std::string& data, const std::string& entries = {});

// A PDF of one revision: the header, the objects in the order given, a classic
// cross-reference table (numbers not given are free) and a trailer of /Size and entries.
std::string classicPdf(const std::vector<HandObject>& objects, const std::string& trailerEntries);

// A drawing laid out as QPdfWriter lays one out, one page drawn by content, in this file
// order: the catalog 1 (its XMP metadata in 7), the information 2 (/Producer "Qt 6.4.2" in
// PDFDocEncoding, /Title "Lé" in UTF-16, /Creator "a(b)" with escapes), the page 4, its
// content stream 5 whose length is object 6, the page tree 3, the metadata 7.
std::string sampleDrawing(const std::string& content);

// A file in memory only (memfd), for InputFile and OutputFile; gone with the object.
class MemoryFile {
public:
    explicit MemoryFile(const std::string& contents = {});
    int fd() const { return m_fd.get(); }
    std::string contents() const;

private:
    FileDescriptor m_fd;
};

// A PDF as libqpdf reads it from bytes, with the password given. Throws what qpdf throws
// (QPDFExc with qpdf_e_password for a password it refuses).
class ReadBack {
public:
    explicit ReadBack(std::string bytes, const std::string& password = {});
    QPDF& pdf() { return *m_pdf; }
    // What qpdf --check would complain of: every object read, every stream decoded and
    // every page's content parsed, plus the warnings of reading (a repaired
    // cross-reference table, a wrong stream length). Empty for a sound file.
    std::vector<std::string> problems();
    // The decoded data of each page's content streams, in page order.
    std::vector<std::string> pageContents();

private:
    std::string m_bytes; // qpdf reads them in place
    std::shared_ptr<QPDF> m_pdf;
};

} // namespace zintrel::test
