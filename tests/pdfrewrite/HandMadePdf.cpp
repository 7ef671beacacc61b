#include "HandMadePdf.h"

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

std::string streamBody(const std::string& data, const std::string& entries)
{
    return "<< /Length " + std::to_string(data.size()) + entries + " >>\nstream\n" + data + "\nendstream";
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

std::string sampleDrawing(const std::string& content)
{
    const std::string metadata = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta "
                                 "xmlns:x='adobe:ns:meta/'/><?xpacket end='w'?>";
    return classicPdf(
        {
            {1, "<< /Type /Catalog /Pages 3 0 R /Metadata 7 0 R >>"},
            {2, "<< /Producer (Qt 6.4.2) /Title <FEFF004C00E9> /Creator (a\\(b\\)) >>"},
            {4, "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 200 100] /Contents 5 0 R /Resources << >> >>"},
            {5, "<< /Length 6 0 R >>\nstream\n" + content + "\nendstream"},
            {6, std::to_string(content.size())},
            {3, "<< /Type /Pages /Kids [4 0 R] /Count 1 >>"},
            {7, streamBody(metadata, " /Type /Metadata /Subtype /XML")},
        },
        "/Root 1 0 R /Info 2 0 R");
}

MemoryFile::MemoryFile(const std::string& contents)
    : m_fd(::memfd_create("zintrel-pdfrewrite", MFD_CLOEXEC))
{
    if (!m_fd) {
        ADD_FAILURE() << "memfd_create: " << std::strerror(errno);
        return;
    }
    for (std::size_t done = 0; done < contents.size();) {
        const ssize_t n
            = ::pwrite(m_fd.get(), contents.data() + done, contents.size() - done, static_cast<off_t>(done));
        if (n <= 0) {
            ADD_FAILURE() << "pwrite: " << std::strerror(errno);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
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
        for (QPDFObjectHandle& stream : page.getPageContents()) {
            std::shared_ptr<Buffer> buffer = stream.getStreamData(qpdf_dl_all);
            data.append(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
        }
        contents.push_back(data);
    }
    return contents;
}

} // namespace zintrel::test
