// Hand-made drawings finished into documents that libqpdf must read without a repair, and
// drawings outside what the finisher accepts.

#include "pdfrewrite/PdfFinisher.h"

#include "HandMadePdf.h"
#include "pdfrewrite/DrawingReader.h"
#include "pdfrewrite/PdfPermissions.h"
#include "pdfrewrite/PdfTokens.h"
#include "platform/CancelToken.h"
#include "platform/InputFile.h"
#include "platform/OutputFile.h"
#include "tests/support/TestSupport.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zintrel {
namespace {

const std::string kUserPassword = "user secret";
const std::string kOwnerPassword = "owner secret";
const std::vector<std::string> kContents = {"0 0 1 rg 10 10 80 40 re f\n", "1 0 0 rg 20 20 30 30 re f\n"};
const std::string kTitle = "Folder listing Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC";
const std::string kBookmark = "Folder \xC3\xA9 \xE6\x97\xA5";

// Drawings in memory, as finishPdf takes them.
class Drawings {
public:
    explicit Drawings(const std::vector<std::string>& bytes)
    {
        for (const std::string& drawing : bytes) {
            m_files.push_back(std::make_unique<test::MemoryFile>(drawing));
            m_inputs.push_back(std::make_unique<InputFile>(m_files.back()->fd(), "drawing.pdf"));
            m_list.push_back(m_inputs.back().get());
        }
    }
    const std::vector<const InputFile*>& list() const { return m_list; }

private:
    std::vector<std::unique_ptr<test::MemoryFile>> m_files;
    std::vector<std::unique_ptr<InputFile>> m_inputs;
    std::vector<const InputFile*> m_list;
};

// The finished document's bytes.
std::string finished(const std::vector<std::string>& drawings, const PdfFinish& finish,
                     const CancelToken& cancel = CancelToken::none())
{
    Drawings inputs(drawings);
    test::MemoryFile target;
    OutputFile out(target.fd(), "listing.pdf");
    finishPdf(inputs.list(), out, finish, cancel);
    out.flush();
    return target.contents();
}

std::optional<std::string> infoText(test::ReadBack& back, const std::string& key)
{
    QPDFObjectHandle value = back.pdf().getTrailer().getKey("/Info").getKey(key);
    if (!value.isString())
        return std::nullopt;
    return value.getUTF8Value();
}

struct FinishCase {
    const char* name;
    bool encrypt;
    bool outline;
    std::size_t drawings;
};

void PrintTo(const FinishCase& c, std::ostream* out) { *out << c.name; }

class FinishTest : public ::testing::TestWithParam<FinishCase> {};

TEST_P(FinishTest, ReadsBackWhole)
{
    const FinishCase& c = GetParam();
    std::vector<std::string> drawings, contents;
    for (std::size_t k = 0; k < c.drawings; ++k) {
        contents.push_back(kContents[k]);
        drawings.push_back(test::sampleDrawing(kContents[k]));
    }
    PdfFinish finish;
    finish.information = {{"/Title", kTitle}, {"/Author", "Ann"}};
    const std::uint32_t permissions = permissionValue(1, 0, 0, 0, 0, 0, 1, 1);
    if (c.encrypt) {
        finish.encrypt = true;
        finish.userPassword = kUserPassword;
        finish.ownerPassword = kOwnerPassword;
        finish.permissions = permissions;
    }
    const int lastPage = static_cast<int>(c.drawings) - 1;
    if (c.outline)
        finish.outline = {{kBookmark, -1, lastPage, 90}};
    const std::string bytes = finished(drawings, finish);

    test::ReadBack back(bytes, c.encrypt ? kUserPassword : "");
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
    EXPECT_EQ(back.pageContents(), contents);

    // The information given wins; the drawing's own fills in the rest.
    EXPECT_EQ(infoText(back, "/Title"), kTitle);
    EXPECT_EQ(infoText(back, "/Author"), "Ann");
    EXPECT_EQ(infoText(back, "/Producer"), "Qt 6.4.2");
    EXPECT_EQ(infoText(back, "/Creator"), "a(b)");
    // The drawing's XMP metadata would contradict it.
    QPDFObjectHandle catalog = back.pdf().getRoot();
    EXPECT_FALSE(catalog.hasKey("/Metadata"));

    std::vector<QPDFOutlineObjectHelper> outline = QPDFOutlineDocumentHelper(back.pdf()).getTopLevelOutlines();
    if (c.outline) {
        ASSERT_EQ(outline.size(), 1u);
        EXPECT_EQ(outline[0].getTitle(), kBookmark);
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(back.pdf()).getAllPages();
        ASSERT_EQ(pages.size(), c.drawings);
        EXPECT_EQ(outline[0].getDestPage().getObjGen(), pages[lastPage].getObjectHandle().getObjGen());
        EXPECT_TRUE(catalog.getKey("/PageMode").isNameAndEquals("/UseOutlines"));
    } else {
        EXPECT_TRUE(outline.empty());
        EXPECT_FALSE(catalog.hasKey("/Outlines"));
    }

    int revision = 0, p = 0;
    EXPECT_EQ(back.pdf().isEncrypted(revision, p), c.encrypt);
    if (c.encrypt) {
        EXPECT_EQ(revision, 6);
        EXPECT_EQ(static_cast<std::uint32_t>(p), permissions);
        EXPECT_TRUE(back.pdf().userPasswordMatched());
        test::ReadBack owner(bytes, kOwnerPassword);
        EXPECT_TRUE(owner.pdf().ownerPasswordMatched());
        EXPECT_EQ(infoText(owner, "/Title"), kTitle);
        EXPECT_EQ(owner.pageContents(), contents);
        EXPECT_TRUE(test::throwsError<QPDFExc>([&] { test::ReadBack refused(bytes, "wrong"); }));
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, FinishTest,
                         ::testing::Values(FinishCase{"Plain", false, false, 1},
                                           FinishCase{"PlainWithOutline", false, true, 1},
                                           FinishCase{"Encrypted", true, false, 1},
                                           FinishCase{"EncryptedWithOutline", true, true, 1},
                                           FinishCase{"TwoDrawingsJoined", false, false, 2},
                                           FinishCase{"TwoDrawingsEncryptedWithOutline", true, true, 2}));

// The sample drawing as qpdf writes it again, configured by setUp.
std::string rewrittenByQpdf(const std::function<void(QPDFWriter&)>& setUp)
{
    const std::string drawing = test::sampleDrawing(kContents[0]);
    QPDF pdf;
    pdf.processMemoryFile("drawing", drawing.data(), drawing.size());
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    setUp(writer);
    writer.write();
    std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

// Catalog and page tree, and a cross-reference stream in place of the table.
std::string withCrossReferenceStream()
{
    std::string pdf = "%PDF-1.5\n";
    std::vector<std::size_t> offsets;
    for (const char* body : {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"}) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    }
    offsets.push_back(pdf.size());
    // Fields of one, four and two bytes: type, offset, generation.
    auto entry = [](int type, std::size_t offset, int generation) {
        std::string bytes(1, static_cast<char>(type));
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += static_cast<char>(offset >> shift & 0xFF);
        return bytes + static_cast<char>(generation >> 8) + static_cast<char>(generation & 0xFF);
    };
    std::string data = entry(0, 0, 65535);
    for (std::size_t offset : offsets)
        data += entry(1, offset, 0);
    pdf += "3 0 obj\n<< /Type /XRef /Size 4 /W [1 4 2] /Root 1 0 R /Length " + std::to_string(data.size())
        + " >>\nstream\n" + data + "\nendstream\nendobj\nstartxref\n" + std::to_string(offsets.back()) + "\n%%EOF\n";
    return pdf;
}

struct RefusalCase {
    const char* name;
    std::function<std::string()> drawing;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class RefusedDrawingTest : public ::testing::TestWithParam<RefusalCase> {};

// Refused before anything is written, and as unreadable, whatever qpdf makes of it.
TEST_P(RefusedDrawingTest, IsUnreadableAndNothingIsWritten)
{
    const std::string drawing = GetParam().drawing();
    {
        test::MemoryFile file(drawing);
        InputFile input(file.fd(), "drawing.pdf");
        EXPECT_TRUE(test::throwsError<UnreadableDrawing>([&] { DrawingReader reader(input); }));
    }
    Drawings inputs({test::sampleDrawing(kContents[0]), drawing});
    test::MemoryFile target;
    OutputFile out(target.fd(), "listing.pdf");
    EXPECT_TRUE(
        test::throwsError<UnreadableDrawing>([&] { finishPdf(inputs.list(), out, PdfFinish{}, CancelToken::none()); }));
    EXPECT_EQ(out.offset(), 0u);
    out.flush();
    EXPECT_EQ(target.contents(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, RefusedDrawingTest,
    ::testing::Values(
        RefusalCase{"ObjectStreams",
                    [] { return rewrittenByQpdf([](QPDFWriter& w) { w.setObjectStreamMode(qpdf_o_generate); }); }},
        RefusalCase{"CrossReferenceStream", withCrossReferenceStream},
        RefusalCase{"EncryptedOpenToAll",
                    [] {
                        return rewrittenByQpdf([](QPDFWriter& w) {
                            w.setR6EncryptionParameters("", "owner", true, true, true, true, true, true, qpdf_r3p_full,
                                                        true);
                        });
                    }},
        RefusalCase{"EncryptedWithAPassword",
                    [] {
                        return rewrittenByQpdf([](QPDFWriter& w) {
                            w.setR6EncryptionParameters("user", "owner", true, true, true, true, true, true,
                                                        qpdf_r3p_full, true);
                        });
                    }},
        RefusalCase{"NoPdfAtAll", [] { return std::string("Size  Name\r\n1 Kb  a.txt\r\n"); }},
        RefusalCase{"Empty", [] { return std::string(); }},
        RefusalCase{"CutBeforeItsTable",
                    [] {
                        const std::string drawing = test::sampleDrawing(kContents[0]);
                        return drawing.substr(0, drawing.rfind("xref\n"));
                    }},
        RefusalCase{"NoCatalog",
                    [] {
                        return test::classicPdf({{1, "<< /Type /Pages /Kids [] /Count 0 >>"}}, "");
                    }},
        RefusalCase{"CatalogNotAnObjectOfItsOwn", [] {
                        return test::classicPdf({{1, "<< /Type /Pages /Kids [] /Count 0 >>"}},
                                                "/Root << /Type /Catalog /Pages 1 0 R >>");
                    }}));

TEST(PdfFinisher, AStreamLengthPastItsObjectIsUnreadable)
{
    // As many digits as the true length, so that the table still holds.
    std::string drawing = test::sampleDrawing(kContents[0]);
    const std::string length = "6 0 obj\n" + std::to_string(kContents[0].size()) + "\n";
    ASSERT_EQ(length.size(), 11u);
    drawing.replace(drawing.find(length), length.size(), "6 0 obj\n99\n");
    EXPECT_TRUE(test::throwsError<UnreadableDrawing>([&] { finished({drawing}, PdfFinish{}); }));
}

TEST(PdfFinisher, CancelledBeforehandWritesNoObject)
{
    CancelToken cancel;
    cancel.cancel();
    Drawings inputs({test::sampleDrawing(kContents[0])});
    test::MemoryFile target;
    OutputFile out(target.fd(), "listing.pdf");
    EXPECT_TRUE(test::throwsError<SaveCancelled>([&] { finishPdf(inputs.list(), out, PdfFinish{}, cancel); }));
    out.flush();
    const std::string bytes = target.contents();
    EXPECT_EQ(bytes.find(" obj"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("xref"), std::string::npos) << bytes;
}

// The cancel raised while the font's ToUnicode map (object 9) is repaired: that object is
// finished, and nothing follows it.
TEST(PdfFinisher, CancelledWhileWritingStopsAfterTheObject)
{
    const std::string map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                            "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
                            "1 beginbfchar\n<0003> <0041>\nendbfchar\n"
                            "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    const std::string drawing = test::classicPdf(
        {
            {1, "<< /Type /Catalog /Pages 3 0 R >>"},
            {4,
             "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 200 100] /Contents 5 0 R "
             "/Resources << /Font << /F1 8 0 R >> >> >>"},
            {5, test::streamBody(kContents[0])},
            {8, "<< /Type /Font /Subtype /Type0 /BaseFont /Sample /Encoding /Identity-H /ToUnicode 9 0 R >>"},
            {9, test::streamBody(map)},
            {3, "<< /Type /Pages /Kids [4 0 R] /Count 1 >>"},
        },
        "/Root 1 0 R");
    CancelToken cancel;
    PdfFinish finish;
    finish.drawn = [&cancel](char32_t) {
        cancel.cancel();
        return true;
    };
    Drawings inputs({drawing});
    test::MemoryFile target;
    OutputFile out(target.fd(), "listing.pdf");
    EXPECT_TRUE(test::throwsError<SaveCancelled>([&] { finishPdf(inputs.list(), out, finish, cancel); }));
    out.flush();
    const std::string bytes = target.contents();
    const std::string last = "\n9 0 obj\n";
    ASSERT_NE(bytes.find(last), std::string::npos) << bytes;
    const std::string after = bytes.substr(bytes.find(last) + last.size());
    EXPECT_EQ(after.find(" obj\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("xref"), std::string::npos) << after;
    EXPECT_EQ(after.size() - after.rfind("\nendstream\nendobj\n"), 18u) << after;
}

} // namespace
} // namespace zintrel
