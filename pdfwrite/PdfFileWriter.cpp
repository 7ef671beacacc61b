#include "PdfFileWriter.h"

#include "Flate.h"
#include "PdfEncryption.h"
#include "PdfSyntax.h"
#include "platform/CancelToken.h"
#include "platform/OutputFile.h"

namespace zintrel {

namespace {

// AES-256 needs PDF 1.7 with Adobe's extension level 8, which the catalog names.
constexpr const char* kHeader = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
// Objects an object stream holds at most: enough to compress well, few enough that a
// reader finding one object unpacks little.
constexpr std::size_t kObjectsPerStream = 200;
constexpr int kCompression = 6;

} // namespace

PdfFileWriter::PdfFileWriter(OutputFile& out, PdfEncryption* encryption, const CancelToken& cancel)
    : m_out(out)
    , m_encryption(encryption)
    , m_cancel(cancel)
{
    m_out.write(kHeader);
}

int PdfFileWriter::newNumber() { return ++m_lastNumber; }

void PdfFileWriter::place(int number)
{
    m_cancel.check();
    if (number > m_lastNumber)
        m_lastNumber = number;
    if (m_entries.size() <= static_cast<std::size_t>(number))
        m_entries.resize(static_cast<std::size_t>(number) + 1);
    m_entries[static_cast<std::size_t>(number)] = Entry{1, m_out.offset(), 0};
}

void PdfFileWriter::object(int number, std::string text)
{
    m_cancel.check();
    if (number > m_lastNumber)
        m_lastNumber = number;
    if (m_entries.size() <= static_cast<std::size_t>(number))
        m_entries.resize(static_cast<std::size_t>(number) + 1);
    // The object stream's own number is known once it is written: noted then.
    m_entries[static_cast<std::size_t>(number)] = Entry{2, 0, static_cast<std::uint32_t>(m_pendingNumbers.size())};
    appendInteger(m_pendingOffsets, number);
    m_pendingOffsets += ' ';
    appendInteger(m_pendingOffsets, static_cast<std::int64_t>(m_pendingObjects.size()));
    m_pendingOffsets += ' ';
    m_pendingNumbers.push_back(number);
    m_pendingObjects += text;
    m_pendingObjects += '\n';
    if (m_pendingNumbers.size() == kObjectsPerStream)
        flushObjectStream();
}

void PdfFileWriter::flushObjectStream()
{
    if (m_pendingNumbers.empty())
        return;
    const int number = newNumber();
    for (int member : m_pendingNumbers)
        m_entries[static_cast<std::size_t>(member)].offset = static_cast<std::uint64_t>(number);
    std::string dictionary = "/Type /ObjStm /N ";
    appendInteger(dictionary, static_cast<std::int64_t>(m_pendingNumbers.size()));
    dictionary += " /First ";
    appendInteger(dictionary, static_cast<std::int64_t>(m_pendingOffsets.size()));
    dictionary += " /Filter /FlateDecode";
    const std::string data = deflated(m_pendingOffsets + m_pendingObjects, kCompression);
    m_pendingNumbers.clear();
    m_pendingOffsets.clear();
    m_pendingObjects.clear();
    stream(number, dictionary, data);
}

std::string PdfFileWriter::string(std::string_view bytes)
{
    return hexString(m_encryption ? m_encryption->encrypt(bytes) : std::string(bytes));
}

void PdfFileWriter::ownObject(int number, std::string_view text)
{
    place(number);
    std::string out;
    appendInteger(out, number);
    out += " 0 obj\n";
    m_out.write(out);
    m_out.write(text);
    m_out.write("\nendobj\n");
}

void PdfFileWriter::stream(int number, std::string_view dictionary, std::string_view data)
{
    place(number);
    const std::string encrypted = m_encryption ? m_encryption->encrypt(data) : std::string();
    const std::string_view bytes = m_encryption ? std::string_view(encrypted) : data;
    std::string head;
    appendInteger(head, number);
    head += " 0 obj\n<< ";
    head += dictionary;
    head += " /Length ";
    appendInteger(head, static_cast<std::int64_t>(bytes.size()));
    head += " >>\nstream\n";
    m_out.write(head);
    m_out.write(bytes);
    m_out.write("\nendstream\nendobj\n");
}

void PdfFileWriter::finish(int root, std::optional<int> info, std::optional<int> encrypt, const std::string& id)
{
    flushObjectStream();
    const int xrefNumber = newNumber();
    place(xrefNumber);
    const std::uint64_t xrefOffset = m_out.offset();
    // Offsets in as few bytes as the file needs.
    int offsetBytes = 1;
    while (offsetBytes < 8 && (xrefOffset >> (8 * offsetBytes)) != 0)
        ++offsetBytes;
    const std::size_t size = m_entries.size();
    std::string table;
    table.reserve(size * static_cast<std::size_t>(offsetBytes + 3));
    for (std::size_t number = 0; number < size; ++number) {
        const Entry& entry = m_entries[number];
        const bool free = entry.type == 0;
        table += static_cast<char>(entry.type);
        const std::uint64_t field = free ? 0 : entry.offset;
        for (int b = offsetBytes - 1; b >= 0; --b)
            table += static_cast<char>((field >> (8 * b)) & 0xFF);
        const std::uint32_t second = free ? (number == 0 ? 0xFFFF : 0) : entry.index;
        table += static_cast<char>((second >> 8) & 0xFF);
        table += static_cast<char>(second & 0xFF);
    }
    const std::string data = deflated(table, kCompression);
    std::string out;
    appendInteger(out, xrefNumber);
    out += " 0 obj\n<< /Type /XRef /Size ";
    appendInteger(out, static_cast<std::int64_t>(size));
    out += " /W [1 ";
    appendInteger(out, offsetBytes);
    out += " 2] /Root ";
    appendInteger(out, root);
    out += " 0 R";
    if (info) {
        out += " /Info ";
        appendInteger(out, *info);
        out += " 0 R";
    }
    if (encrypt) {
        out += " /Encrypt ";
        appendInteger(out, *encrypt);
        out += " 0 R";
    }
    out += " /ID [" + hexString(id) + hexString(id) + "] /Filter /FlateDecode /Length ";
    appendInteger(out, static_cast<std::int64_t>(data.size()));
    out += " >>\nstream\n";
    m_out.write(out);
    m_out.write(data);
    out = "\nendstream\nendobj\nstartxref\n";
    appendInteger(out, static_cast<std::int64_t>(xrefOffset));
    out += "\n%%EOF\n";
    m_out.write(out);
}

} // namespace zintrel
