#include "PdfEncryption.h"

#include "PdfSyntax.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoImpl.hh>
#include <qpdf/QPDFCryptoProvider.hh>

#include <cstring>

namespace zintrel {

namespace {

constexpr std::size_t kAesBlock = QPDFCryptoImpl::rijndael_buf_size;
constexpr int kKeyBytes = 32;
constexpr std::size_t kIdBytes = 16;
constexpr int kVersion = 5;
constexpr int kRevision = 6;

} // namespace

PdfEncryption::PdfEncryption(const std::string& userPassword, const std::string& ownerPassword,
                             std::uint32_t permissions)
    : m_crypto(QPDFCryptoProvider::getImpl())
{
    m_id = random(kIdBytes);
    std::string o, u, oe, ue, perms;
    QPDF::compute_encryption_parameters_V5(userPassword.c_str(), ownerPassword.c_str(), kVersion, kRevision, kKeyBytes,
                                           static_cast<int>(permissions), true, m_id, m_key, o, u, oe, ue, perms);
    m_dictionary = "<< /Filter /Standard /V 5 /R 6 /Length 256 /P "
        + std::to_string(static_cast<std::int32_t>(permissions)) + " /O " + hexString(o) + " /U " + hexString(u)
        + " /OE " + hexString(oe) + " /UE " + hexString(ue) + " /Perms " + hexString(perms)
        + " /EncryptMetadata true /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 32 >> >>"
          " /StmF /StdCF /StrF /StdCF >>";
}

PdfEncryption::~PdfEncryption() = default;

std::string PdfEncryption::random(std::size_t bytes)
{
    std::string data(bytes, '\0');
    m_crypto->provideRandomData(reinterpret_cast<unsigned char*>(data.data()), bytes);
    return data;
}

std::string PdfEncryption::encrypt(std::string_view plain)
{
    std::string out = random(kAesBlock);
    unsigned char chain[kAesBlock];
    std::memcpy(chain, out.data(), kAesBlock);
    std::size_t padded = (plain.size() / kAesBlock + 1) * kAesBlock;
    const auto pad = static_cast<unsigned char>(padded - plain.size());
    out.resize(kAesBlock + padded);
    m_crypto->rijndael_init(true, reinterpret_cast<const unsigned char*>(m_key.data()), m_key.size(), true, chain);
    unsigned char block[kAesBlock];
    for (std::size_t at = 0; at < padded; at += kAesBlock) {
        for (std::size_t i = 0; i < kAesBlock; ++i)
            block[i] = at + i < plain.size() ? static_cast<unsigned char>(plain[at + i]) : pad;
        m_crypto->rijndael_process(block, reinterpret_cast<unsigned char*>(out.data() + kAesBlock + at));
    }
    m_crypto->rijndael_finalize();
    return out;
}

} // namespace zintrel
