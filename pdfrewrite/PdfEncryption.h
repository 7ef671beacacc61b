#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class QPDFCryptoImpl;

namespace zintrel {

// The standard security handler at AES-256 (revision 6): the key derived from the two
// passwords and the permissions, the /Encrypt dictionary that lets a reader derive it
// again, and the encryption of every string and stream with it.
class PdfEncryption {
public:
    PdfEncryption(const std::string& userPassword, const std::string& ownerPassword, std::uint32_t permissions);
    ~PdfEncryption();
    PdfEncryption(const PdfEncryption&) = delete;
    PdfEncryption& operator=(const PdfEncryption&) = delete;

    // The file identifier the key belongs to, for the trailer's /ID.
    const std::string& documentId() const { return m_id; }
    // The /Encrypt dictionary, as PDF text.
    const std::string& dictionary() const { return m_dictionary; }
    // AES-256 in CBC mode as PDF uses it: a random IV in front, PKCS#5 padding.
    std::string encrypt(std::string_view plain);

private:
    std::string random(std::size_t bytes);

    std::shared_ptr<QPDFCryptoImpl> m_crypto;
    std::string m_key;
    std::string m_id;
    std::string m_dictionary;
};

} // namespace zintrel
