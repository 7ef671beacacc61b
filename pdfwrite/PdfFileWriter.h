#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

class CancelToken;
class OutputFile;
class PdfEncryption;

// Writes a PDF file object by object, in the order given, straight into out: streams on
// their own, every other object gathered into compressed object streams, and at the end a
// cross-reference stream. With an encryption, streams and the strings of the objects
// written on their own are encrypted here; objects inside object streams are protected by
// theirs. Memory: one object stream being filled and the table of offsets. Write failures
// throw IoError (from out), a raised cancel SaveCancelled (looked at for every object).
class PdfFileWriter {
public:
    // encryption may be null; it must outlive the writer.
    PdfFileWriter(OutputFile& out, PdfEncryption* encryption, const CancelToken& cancel);

    // A new object number, one more than the last one given.
    int newNumber();

    // A dictionary, array or other object without a stream, as PDF text. Its strings are
    // written as they are: it goes into an object stream, which is encrypted whole.
    void object(int number, std::string text);
    // An object written on its own; strings() turns its strings' bytes into what it holds.
    void ownObject(int number, std::string_view text);
    // A string of an object written on its own: hexadecimal, encrypted when the document is.
    std::string string(std::string_view bytes);
    // A stream object: dictionary holds its entries but /Length, data the bytes as the
    // entries say (compressed or not); /Length is added.
    void stream(int number, std::string_view dictionary, std::string_view data);

    // The object streams still open, then the cross-reference stream and the end of the
    // file. id: the document's identifier (16 bytes).
    void finish(int root, std::optional<int> info, std::optional<int> encrypt, const std::string& id);

private:
    void flushObjectStream();
    void place(int number); // the next object written starts here

    struct Entry {
        std::uint8_t type = 0;    // 0 free, 1 in the file, 2 in an object stream
        std::uint64_t offset = 0; // type 1: where; type 2: the object stream's number
        std::uint32_t index = 0;  // type 2: its place there
    };

    OutputFile& m_out;
    PdfEncryption* m_encryption;
    const CancelToken& m_cancel;
    int m_lastNumber = 0;
    std::vector<Entry> m_entries; // by object number
    std::vector<int> m_pendingNumbers;
    std::string m_pendingOffsets; // "number offset " pairs of the object stream being filled
    std::string m_pendingObjects;
};

} // namespace zintrel
