#pragma once

// Small PDFs for the writer's tests: written by hand, or through PdfFileWriter into a file
// in memory, and libqpdf reading back what was written.

#include "pdfwrite/PdfFileWriter.h"
#include "platform/CancelToken.h"
#include "platform/FileDescriptor.h"
#include "platform/OutputFile.h"

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

// The body of a stream object holding data as it is stored.
std::string streamBody(const std::string& data);

// A PDF of one revision: the header, the objects in the order given, a classic
// cross-reference table (numbers not given are free) and a trailer of /Size and entries.
std::string classicPdf(const std::vector<HandObject>& objects, const std::string& trailerEntries);

// A file in memory only (memfd), for OutputFile; gone with the object.
class MemoryFile {
public:
    MemoryFile();
    int fd() const { return m_fd.get(); }
    std::string contents() const;

private:
    FileDescriptor m_fd;
};

// A document of pageCount pages written through PdfFileWriter into memory. The catalog,
// the page tree, the pages and the information have their numbers from the start, so that
// a test can refer to them while it writes objects of its own through writer().
class SmallDocument {
public:
    explicit SmallDocument(int pageCount = 1, PdfEncryption* encryption = nullptr,
                           const CancelToken& cancel = CancelToken::none());

    PdfFileWriter& writer() { return m_writer; }
    int catalog() const { return m_catalog; }
    int info() const { return m_info; }
    int content() const { return m_content; }
    const std::vector<int>& pages() const { return m_pages; }

    // Writes the first page's content stream (uncompressed, so that its bytes show in the
    // file unless encrypted; contentEntries go into its dictionary), the page tree and the
    // pages (resources on the tree), the catalog with catalogEntries, the information with
    // its /Title, and the encryption's dictionary; finishes the file and returns its bytes.
    std::string finish(const std::string& content, const std::string& resources = {},
                       const std::string& catalogEntries = {}, const std::string& title = "A small document",
                       const std::string& contentEntries = {});

private:
    MemoryFile m_file;
    OutputFile m_out;
    PdfEncryption* m_encryption;
    PdfFileWriter m_writer;
    int m_catalog = 0;
    int m_tree = 0;
    int m_info = 0;
    int m_content = 0;
    int m_encrypt = 0;
    std::vector<int> m_pages;
};

// A PDF as libqpdf reads it from bytes, with the password given. Throws what qpdf throws
// (QPDFExc with qpdf_e_password for a password it refuses).
class ReadBack {
public:
    explicit ReadBack(std::string bytes, const std::string& password = {});
    QPDF& pdf() { return *m_pdf; }
    const std::string& bytes() const { return m_bytes; }
    // What qpdf --check would complain of: every object read, every stream decoded and
    // every page's content parsed, plus the warnings of reading (a repaired
    // cross-reference table, a wrong stream length). Empty for a sound file.
    std::vector<std::string> problems();
    // The decoded data of each page's content streams, in page order.
    std::vector<std::string> pageContents();
    QPDFObjectHandle object(int number) { return m_pdf->getObjectByID(number, 0); }

private:
    std::string m_bytes; // qpdf reads them in place
    std::shared_ptr<QPDF> m_pdf;
};

// A stream's data with every filter undone.
std::string decodedData(QPDFObjectHandle stream);

} // namespace zintrel::test
