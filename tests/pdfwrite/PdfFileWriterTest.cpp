// Documents written through PdfFileWriter, read back with libqpdf: objects where they
// were written, object streams, the cross-reference stream, encryption, a cancel and a
// full disk.

#include "pdfwrite/PdfFileWriter.h"

#include "WrittenPdf.h"
#include "pdfwrite/PdfEncryption.h"
#include "pdfwrite/PdfPermissions.h"
#include "pdfwrite/PdfSyntax.h"
#include "platform/IoError.h"
#include "tests/support/TestSupport.h"

#include <qpdf/QPDFExc.hh>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>

namespace zintrel {
namespace {

constexpr int kFillerObjects = 450; // more than two object streams hold
const std::string kContent = "0 0 1 rg 10 10 80 40 re f\n";
const std::string kTitle = "Listing of /home/l\xC3\xA9o";
const std::string kUserPassword = "user secret";
const std::string kOwnerPassword = "owner secret";

// What filler object number n holds: a dictionary with a string that needs escapes.
std::string fillerText(int n)
{
    std::string text = "<< /N " + std::to_string(n) + " /S ";
    appendLiteralString(text, "filler (" + std::to_string(n) + ")\\");
    return text + " >>";
}

struct Written {
    std::string bytes;
    std::vector<int> fillers;
    int content = 0;
    int info = 0;
};

// A page drawing kContent, its information, and the filler objects, written between the
// content stream's number and the page tree's.
Written writeDocument(PdfEncryption* encryption)
{
    test::SmallDocument document(1, encryption);
    Written written;
    for (int i = 0; i < kFillerObjects; ++i) {
        const int number = document.writer().newNumber();
        document.writer().object(number, fillerText(number));
        written.fillers.push_back(number);
    }
    written.content = document.content();
    written.info = document.info();
    written.bytes = document.finish(kContent, {}, {}, kTitle,
                                    "/ZintrelNote " + document.writer().string("a string of a stream's dictionary"));
    return written;
}

// Each filler object holds what was written, and sits in an object stream; the content
// stream and the information are objects of their own at the offsets the table gives.
void expectObjectsWhereWritten(test::ReadBack& back, const Written& written)
{
    std::map<QPDFObjGen, QPDFXRefEntry> table = back.pdf().getXRefTable();
    std::set<int> objectStreams;
    for (int number : written.fillers) {
        QPDFObjectHandle object = back.object(number);
        ASSERT_TRUE(object.isDictionary()) << number;
        EXPECT_EQ(object.getKey("/N").getIntValue(), number);
        EXPECT_EQ(object.getKey("/S").getStringValue(), "filler (" + std::to_string(number) + ")\\");
        const QPDFXRefEntry& entry = table[QPDFObjGen(number, 0)];
        ASSERT_EQ(entry.getType(), 2) << number;
        objectStreams.insert(entry.getObjStreamNumber());
    }
    EXPECT_GE(objectStreams.size(), 3u);
    for (int stream : objectStreams) {
        const QPDFXRefEntry& entry = table[QPDFObjGen(stream, 0)];
        ASSERT_EQ(entry.getType(), 1) << stream;
        EXPECT_EQ(back.bytes().substr(static_cast<std::size_t>(entry.getOffset()), std::to_string(stream).size() + 6),
                  std::to_string(stream) + " 0 obj");
        EXPECT_EQ(back.object(stream).getDict().getKey("/Type").getName(), "/ObjStm");
    }
    for (int number : {written.content, written.info}) {
        const QPDFXRefEntry& entry = table[QPDFObjGen(number, 0)];
        ASSERT_EQ(entry.getType(), 1) << number;
        EXPECT_EQ(back.bytes().substr(static_cast<std::size_t>(entry.getOffset()), std::to_string(number).size() + 6),
                  std::to_string(number) + " 0 obj");
    }
    EXPECT_EQ(back.pageContents(), std::vector<std::string>{kContent});
    EXPECT_EQ(back.object(written.info).getKey("/Title").getUTF8Value(), kTitle);
    EXPECT_EQ(back.object(written.content).getDict().getKey("/ZintrelNote").getStringValue(),
              "a string of a stream's dictionary");
}

TEST(PdfFileWriter, ADocumentReadsBackWithoutAWarning)
{
    const Written written = writeDocument(nullptr);
    EXPECT_EQ(written.bytes.substr(0, 9), "%PDF-1.7\n");
    test::ReadBack back(written.bytes);
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
    EXPECT_FALSE(back.pdf().isEncrypted());
    EXPECT_EQ(back.pdf().getTrailer().getKey("/ID").getArrayItem(0).getStringValue(), "0123456789abcdef");
    expectObjectsWhereWritten(back, written);
    // Streams stay as given, uncompressed here.
    EXPECT_NE(written.bytes.find(kContent), std::string::npos);
}

TEST(PdfFileWriter, AnEncryptedDocumentOpensWithTheUserPassword)
{
    const std::uint32_t permissions = permissionValue(1, 0, 0, 0, 0, 0, 1, 0);
    PdfEncryption encryption(kUserPassword, kOwnerPassword, permissions);
    const Written written = writeDocument(&encryption);
    test::ReadBack back(written.bytes, kUserPassword);
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
    int revision = 0, p = 0, version = 0;
    QPDF::encryption_method_e streams = QPDF::e_none, strings = QPDF::e_none, file = QPDF::e_none;
    ASSERT_TRUE(back.pdf().isEncrypted(revision, p, version, streams, strings, file));
    EXPECT_EQ(revision, 6);
    EXPECT_EQ(streams, QPDF::e_aesv3);
    EXPECT_EQ(strings, QPDF::e_aesv3);
    EXPECT_EQ(static_cast<std::uint32_t>(p), permissions);
    EXPECT_TRUE(back.pdf().userPasswordMatched());
    EXPECT_EQ(back.pdf().getTrailer().getKey("/ID").getArrayItem(0).getStringValue(), encryption.documentId());
    expectObjectsWhereWritten(back, written);
    // Nothing of what was written shows in the file as it is.
    for (const std::string& plain : {kContent, std::string("a string of a stream's dictionary"),
                                     textStringBytes(kTitle), hexString(textStringBytes(kTitle))})
        EXPECT_EQ(written.bytes.find(plain), std::string::npos) << plain;
}

TEST(PdfFileWriter, AnEncryptedDocumentRefusesOtherPasswords)
{
    PdfEncryption encryption(kUserPassword, kOwnerPassword, permissionValue(1, 1, 1, 1, 1, 1, 1, 1));
    const Written written = writeDocument(&encryption);
    for (const std::string& password : {std::string(), std::string("user secre"), std::string("wrong")}) {
        try {
            test::ReadBack back(written.bytes, password);
            ADD_FAILURE() << "\"" << password << "\" opened the document";
        } catch (const QPDFExc& error) {
            EXPECT_EQ(error.getErrorCode(), qpdf_e_password) << "\"" << password << "\": " << error.what();
        }
    }
}

// A cancel raised between two objects stops the writer at the next one, whatever kind.
struct CancelCase {
    const char* name;
    std::function<void(PdfFileWriter&)> next;
};

void PrintTo(const CancelCase& c, std::ostream* out) { *out << c.name; }

class CancelTest : public ::testing::TestWithParam<CancelCase> {};

TEST_P(CancelTest, ThrowsAtTheNextObject)
{
    CancelToken cancel;
    test::SmallDocument document(1, nullptr, cancel);
    PdfFileWriter& writer = document.writer();
    const int before = writer.newNumber();
    writer.object(before, "[1 2 3]");
    writer.stream(writer.newNumber(), "", "data");
    cancel.cancel();
    EXPECT_TRUE(test::throwsError<SaveCancelled>([&] { GetParam().next(writer); }));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, CancelTest,
    ::testing::Values(CancelCase{"Object", [](PdfFileWriter& w) { w.object(w.newNumber(), "null"); }},
                      CancelCase{"OwnObject", [](PdfFileWriter& w) { w.ownObject(w.newNumber(), "null"); }},
                      CancelCase{"Stream", [](PdfFileWriter& w) { w.stream(w.newNumber(), "", "x"); }},
                      CancelCase{"Finish", [](PdfFileWriter& w) {
                                     w.finish(1, std::nullopt, std::nullopt, "0123456789abcdef");
                                 }}));

// A file system with room for 16 KiB, mounted for the test and gone after it.
class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folder[] = "/tmp/zintrel-pdfwrite-full-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        m_folder = folder;
        m_mount.emplace("tmpfs", m_folder, "size=16k");
        if (!m_mount->ok())
            GTEST_SKIP() << "cannot mount a tmpfs (not root?)";
    }
    void TearDown() override
    {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
        m_mount.reset();
        if (!m_folder.empty())
            ::rmdir(m_folder.c_str());
    }

    std::string m_folder;
    std::string m_path;
    std::optional<test::ScopedMount> m_mount;
};

TEST_F(FullDiskTest, AWriteThatFindsNoRoomThrowsIoError)
{
    m_path = m_folder + "/listing.pdf";
    FileDescriptor fd(::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    ASSERT_TRUE(fd) << std::strerror(errno);
    // Bytes that no compression shrinks, more than the disk and the writer's buffer hold.
    std::mt19937 random(7);
    std::string noise(200 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    OutputFile out(fd.get(), "/home/leo/listing.pdf");
    std::string text;
    EXPECT_TRUE(test::throwsError<IoError>(
        [&] {
            PdfFileWriter writer(out, nullptr, CancelToken::none());
            const int catalog = writer.newNumber();
            writer.object(catalog, "<< /Type /Catalog >>");
            writer.stream(writer.newNumber(), "", noise);
            writer.finish(catalog, std::nullopt, std::nullopt, "0123456789abcdef");
            out.flush();
        },
        &text));
    EXPECT_EQ(text, "Disk full\n/home/leo/listing.pdf");
}

} // namespace
} // namespace zintrel
