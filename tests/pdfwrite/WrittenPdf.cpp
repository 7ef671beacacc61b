#include "WrittenPdf.h"

#include "pdfwrite/PdfEncryption.h"
#include "pdfwrite/PdfSyntax.h"

#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace zintrel::test {

std::string streamBody(const std::string& data)
{
    return "<< /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

std::string classicPdf(const std::vector<HandObject>& objects, const std::string& trailerEntries)
{
    std::string pdf = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    std::map<int, std::size_t> offsets;
    int size = 1;
    for (const HandObject& object : objects) {
        offsets[object.number] = pdf.size();
        size = std::max(size, object.number + 1);
        pdf += std::to_string(object.number) + " 0 obj\n" + object.body + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(size) + "\n0000000000 65535 f \n";
    for (int number = 1; number < size; ++number) {
        char line[32];
        auto found = offsets.find(number);
        if (found == offsets.end())
            std::snprintf(line, sizeof line, "0000000000 00001 f \n");
        else
            std::snprintf(line, sizeof line, "%010zu 00000 n \n", found->second);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(size) + " " + trailerEntries + " >>\nstartxref\n"
        + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

MemoryFile::MemoryFile()
    : m_fd(::memfd_create("zintrel-pdfwrite", MFD_CLOEXEC))
{
    if (!m_fd)
        ADD_FAILURE() << "memfd_create: " << std::strerror(errno);
}

std::string MemoryFile::contents() const
{
    struct stat status {};
    if (::fstat(m_fd.get(), &status) != 0) {
        ADD_FAILURE() << "fstat: " << std::strerror(errno);
        return {};
    }
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pread(m_fd.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0) {
            ADD_FAILURE() << "pread: " << std::strerror(errno);
            return {};
        }
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

namespace {

std::string reference(int number) { return std::to_string(number) + " 0 R"; }

} // namespace

SmallDocument::SmallDocument(int pageCount, PdfEncryption* encryption, const CancelToken& cancel)
    : m_out(m_file.fd(), "small document.pdf")
    , m_encryption(encryption)
    , m_writer(m_out, encryption, cancel)
{
    m_catalog = m_writer.newNumber();
    m_tree = m_writer.newNumber();
    m_info = m_writer.newNumber();
    m_content = m_writer.newNumber();
    for (int i = 0; i < pageCount; ++i)
        m_pages.push_back(m_writer.newNumber());
    if (encryption)
        m_encrypt = m_writer.newNumber();
}

std::string SmallDocument::finish(const std::string& content, const std::string& resources,
                                  const std::string& catalogEntries, const std::string& title,
                                  const std::string& contentEntries)
{
    m_writer.stream(m_content, contentEntries, content);
    std::string kids;
    for (int page : m_pages)
        kids += reference(page) + " ";
    m_writer.object(m_tree,
                    "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(m_pages.size()) + " /Resources << "
                        + resources + " >> >>");
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        std::string page = "<< /Type /Page /Parent " + reference(m_tree) + " /MediaBox [0 0 200 100]";
        if (i == 0)
            page += " /Contents " + reference(m_content);
        m_writer.object(m_pages[i], page + " >>");
    }
    std::string catalog = "<< /Type /Catalog /Pages " + reference(m_tree) + " " + catalogEntries;
    if (m_encryption)
        catalog += " /Extensions << /ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >> >>";
    m_writer.object(m_catalog, catalog + " >>");
    m_writer.ownObject(m_info, "<< /Title " + m_writer.string(textStringBytes(title)) + " >>");
    if (m_encryption)
        m_writer.ownObject(m_encrypt, m_encryption->dictionary());
    const std::string id = m_encryption ? m_encryption->documentId() : std::string("0123456789abcdef");
    m_writer.finish(m_catalog, m_info, m_encryption ? std::optional<int>(m_encrypt) : std::nullopt, id);
    m_out.flush();
    return m_file.contents();
}

ReadBack::ReadBack(std::string bytes, const std::string& password)
    : m_bytes(std::move(bytes))
    , m_pdf(QPDF::create())
{
    m_pdf->setSuppressWarnings(true);
    m_pdf->processMemoryFile("read back", m_bytes.data(), m_bytes.size(), password.c_str());
}

namespace {

// Parsing a page's content is the check; its operators are not looked at.
class IgnoredContent : public QPDFObjectHandle::ParserCallbacks {
    void handleObject(QPDFObjectHandle) override {}
    void handleEOF() override {}
};

} // namespace

std::vector<std::string> ReadBack::problems()
{
    std::vector<std::string> found;
    try {
        QPDFWriter writer(*m_pdf);
        Pl_Discard discard;
        writer.setOutputPipeline(&discard);
        writer.setDecodeLevel(qpdf_dl_all);
        writer.setPreserveEncryption(false);
        writer.write();
        IgnoredContent ignored;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*m_pdf).getAllPages())
            page.parseContents(&ignored);
    } catch (const std::exception& error) {
        found.push_back(error.what());
    }
    for (const QPDFExc& warning : m_pdf->getWarnings())
        found.push_back(warning.what());
    return found;
}

std::vector<std::string> ReadBack::pageContents()
{
    std::vector<std::string> contents;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*m_pdf).getAllPages()) {
        std::string data;
        for (QPDFObjectHandle& stream : page.getPageContents())
            data += decodedData(stream);
        contents.push_back(data);
    }
    return contents;
}

std::string decodedData(QPDFObjectHandle stream)
{
    if (!stream.isStream()) {
        ADD_FAILURE() << "not a stream: " << stream.unparse();
        return {};
    }
    std::shared_ptr<Buffer> buffer = stream.getStreamData(qpdf_dl_all);
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

} // namespace zintrel::test
