// Strings and a stream encrypted by PdfEncryption into a document written here by hand,
// then opened and decrypted by libqpdf.

#include "pdfwrite/PdfEncryption.h"

#include "WrittenPdf.h"
#include "pdfwrite/PdfPermissions.h"
#include "pdfwrite/PdfSyntax.h"

#include <qpdf/QPDFExc.hh>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace zintrel {
namespace {

const std::string kUserPassword = "user secret";
const std::string kOwnerPassword = "owner secret";
const std::string kContent = "0 0 1 rg 10 10 80 40 re f\n";
constexpr int kStringsObject = 5;

std::uint32_t allPermissions() { return permissionValue(1, 1, 1, 1, 1, 1, 1, 1); }

// One page whose content stream is content, and an array object of the strings, all
// encrypted with encryption; the /Encrypt dictionary and the /ID are the class's own.
std::string encryptedDocument(PdfEncryption& encryption, const std::vector<std::string>& strings,
                              const std::string& content = kContent)
{
    std::string array = "[";
    for (const std::string& plain : strings)
        array += hexString(encryption.encrypt(plain)) + " ";
    array += "]";
    const std::string id = hexString(encryption.documentId());
    return test::classicPdf(
        {
            {1, "<< /Type /Catalog /Pages 2 0 R >>"},
            {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
            {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>"},
            {4, test::streamBody(encryption.encrypt(content))},
            {kStringsObject, array},
            {6, encryption.dictionary()},
        },
        "/Root 1 0 R /Encrypt 6 0 R /ID [" + id + id + "]");
}

std::vector<std::string> stringsOf(test::ReadBack& back)
{
    std::vector<std::string> strings;
    for (QPDFObjectHandle item : back.pdf().getObjectByID(kStringsObject, 0).getArrayAsVector())
        strings.push_back(item.isString() ? item.getStringValue() : "(no string)");
    return strings;
}

// Which password opened the document, and whether it is the encryption written.
void expectEncryption(test::ReadBack& back, bool user, bool owner, std::uint32_t permissions)
{
    int revision = 0, p = 0, version = 0;
    QPDF::encryption_method_e streams = QPDF::e_none, strings = QPDF::e_none, file = QPDF::e_none;
    ASSERT_TRUE(back.pdf().isEncrypted(revision, p, version, streams, strings, file));
    EXPECT_EQ(revision, 6);
    EXPECT_EQ(version, 5);
    EXPECT_EQ(streams, QPDF::e_aesv3);
    EXPECT_EQ(strings, QPDF::e_aesv3);
    EXPECT_EQ(static_cast<std::uint32_t>(p), permissions);
    EXPECT_EQ(back.pdf().userPasswordMatched(), user);
    EXPECT_EQ(back.pdf().ownerPasswordMatched(), owner);
}

const std::vector<std::string> kStrings = {
    "Hello",
    "",
    std::string("\0\x01\xFF\xFE(\\)\n\r", 9),
    "A string longer than one AES block, and longer than two of them.",
};

TEST(PdfEncryption, TheUserPasswordDecryptsStringsAndStream)
{
    PdfEncryption encryption(kUserPassword, kOwnerPassword, allPermissions());
    test::ReadBack back(encryptedDocument(encryption, kStrings), kUserPassword);
    expectEncryption(back, true, false, allPermissions());
    EXPECT_EQ(stringsOf(back), kStrings);
    EXPECT_EQ(back.pageContents(), std::vector<std::string>{kContent});
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
}

// The owner password opens the document as its owner, whom readers grant every right
// whatever /P says.
TEST(PdfEncryption, TheOwnerPasswordOpensAsTheOwner)
{
    const std::uint32_t nothing = permissionValue(0, 0, 0, 0, 0, 0, 0, 0);
    PdfEncryption encryption(kUserPassword, kOwnerPassword, nothing);
    test::ReadBack back(encryptedDocument(encryption, kStrings), kOwnerPassword);
    expectEncryption(back, false, true, nothing);
    EXPECT_EQ(stringsOf(back), kStrings);
    EXPECT_EQ(back.pageContents(), std::vector<std::string>{kContent});
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
}

TEST(PdfEncryption, OtherPasswordsAreRefused)
{
    PdfEncryption encryption(kUserPassword, kOwnerPassword, allPermissions());
    const std::string document = encryptedDocument(encryption, kStrings);
    for (const std::string& password : {std::string(), std::string("user secre"), std::string("User secret"),
                                        std::string("user secret "), std::string("owner secretx")}) {
        try {
            test::ReadBack back(document, password);
            ADD_FAILURE() << "\"" << password << "\" opened the document";
        } catch (const QPDFExc& error) {
            EXPECT_EQ(error.getErrorCode(), qpdf_e_password) << "\"" << password << "\": " << error.what();
        }
    }
}

TEST(PdfEncryption, AnEmptyUserPasswordOpensWithoutOne)
{
    PdfEncryption encryption("", kOwnerPassword, allPermissions());
    test::ReadBack back(encryptedDocument(encryption, kStrings));
    expectEncryption(back, true, false, allPermissions());
    EXPECT_EQ(stringsOf(back), kStrings);
}

// The permissions that /P grants, as a reader of the user password sees them.
struct PermissionCase {
    const char* name;
    std::array<int, 8> flags; // print, copy, change, annotate, fill forms, assemble, accessibility, high quality
    bool printLowRes, printHighRes, extract, modifyOther, annotate, fillForms, assemble, modifyAll;
};

void PrintTo(const PermissionCase& c, std::ostream* out) { *out << c.name; }

class PermissionReadBackTest : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(PermissionReadBackTest, ReadsBackAsGranted)
{
    const PermissionCase& c = GetParam();
    const auto& f = c.flags;
    const std::uint32_t permissions = permissionValue(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]);
    PdfEncryption encryption(kUserPassword, kOwnerPassword, permissions);
    test::ReadBack back(encryptedDocument(encryption, {"x"}), kUserPassword);
    expectEncryption(back, true, false, permissions);
    QPDF& pdf = back.pdf();
    EXPECT_EQ(pdf.allowPrintLowRes(), c.printLowRes);
    EXPECT_EQ(pdf.allowPrintHighRes(), c.printHighRes);
    EXPECT_EQ(pdf.allowExtractAll(), c.extract);
    EXPECT_EQ(pdf.allowModifyOther(), c.modifyOther);
    EXPECT_EQ(pdf.allowModifyAnnotation(), c.annotate);
    EXPECT_EQ(pdf.allowModifyForm(), c.fillForms);
    EXPECT_EQ(pdf.allowModifyAssembly(), c.assemble);
    EXPECT_EQ(pdf.allowModifyAll(), c.modifyAll);
    // Screen readers keep working whatever the flags say.
    EXPECT_TRUE(pdf.allowAccessibility());
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Flags, PermissionReadBackTest,
    ::testing::Values(
        PermissionCase{"Nothing", {0, 0, 0, 0, 0, 0, 0, 0}, false, false, false, false, false, false, false, false},
        PermissionCase{"Everything", {1, 1, 1, 1, 1, 1, 1, 1}, true, true, true, true, true, true, true, true},
        PermissionCase{
            "PrintLowQuality", {1, 0, 0, 0, 0, 0, 0, 0}, true, false, false, false, false, false, false, false},
        PermissionCase{
            "PrintHighQuality", {1, 0, 0, 0, 0, 0, 0, 1}, true, true, false, false, false, false, false, false},
        PermissionCase{"HighQualityWithoutPrint",
                       {0, 0, 0, 0, 0, 0, 0, 1},
                       false,
                       false,
                       false,
                       false,
                       false,
                       false,
                       false,
                       false},
        PermissionCase{"CopyOnly", {0, 1, 0, 0, 0, 0, 0, 0}, false, false, true, false, false, false, false, false},
        PermissionCase{"ChangeOnly", {0, 0, 1, 0, 0, 0, 0, 0}, false, false, false, true, false, false, false, false},
        PermissionCase{"AnnotateOnly", {0, 0, 0, 1, 0, 0, 0, 0}, false, false, false, false, true, false, false, false},
        PermissionCase{
            "FillFormsOnly", {0, 0, 0, 0, 1, 0, 0, 0}, false, false, false, false, false, true, false, false},
        PermissionCase{"AssembleOnly", {0, 0, 0, 0, 0, 1, 0, 0}, false, false, false, false, false, false, true, false},
        PermissionCase{
            "EverythingButAssembly", {1, 1, 1, 1, 1, 0, 1, 1}, true, true, true, true, true, true, false, false}));

// Each encryption has an IV of its own, so equal plain texts give unequal cipher texts
// (which would otherwise show where a document repeats itself); both still decrypt.
TEST(PdfEncryption, EqualPlainTextsEncryptUnequally)
{
    PdfEncryption encryption(kUserPassword, kOwnerPassword, allPermissions());
    const std::string plain = "the same bytes";
    const std::string first = encryption.encrypt(plain);
    const std::string second = encryption.encrypt(plain);
    EXPECT_NE(first, second);
    EXPECT_NE(first.substr(0, 16), second.substr(0, 16));
    EXPECT_NE(first.substr(16), second.substr(16));

    test::ReadBack back(encryptedDocument(encryption, {plain, plain}), kUserPassword);
    EXPECT_EQ(stringsOf(back), (std::vector<std::string>{plain, plain}));

    // Nor do two documents share their identifier.
    PdfEncryption other(kUserPassword, kOwnerPassword, allPermissions());
    EXPECT_EQ(encryption.documentId().size(), 16u);
    EXPECT_NE(encryption.documentId(), other.documentId());
}

// AES-CBC with PKCS#5 padding: a 16-byte IV, then the plain text padded to the next whole
// block, a full block of padding when it already ends on one.
class PaddingTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PaddingTest, PadsToTheNextWholeBlock)
{
    const std::size_t length = GetParam();
    std::string plain;
    for (std::size_t i = 0; i < length; ++i)
        plain += static_cast<char>('a' + i % 26);
    PdfEncryption encryption(kUserPassword, kOwnerPassword, allPermissions());
    EXPECT_EQ(encryption.encrypt(plain).size(), 16 + (length / 16 + 1) * 16);

    test::ReadBack back(encryptedDocument(encryption, {plain}, plain), kUserPassword);
    EXPECT_EQ(stringsOf(back), std::vector<std::string>{plain});
    EXPECT_EQ(back.pageContents(), std::vector<std::string>{plain});
}

INSTANTIATE_TEST_SUITE_P(PlainTextLengths, PaddingTest, ::testing::Values(0, 1, 15, 16, 17, 31, 32, 33));

} // namespace
} // namespace zintrel
