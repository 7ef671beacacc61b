// An object on its way from a drawing into the finished document, checked as text.

#include "pdfrewrite/ObjectRewrite.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

namespace zintrel {
namespace {

// A string as an encoder would hand it out: its bytes reversed, in hexadecimal, so that a
// test sees both that the hook ran and that it got the bytes, not the raw text.
std::string reversed(const PdfToken& t) { return hexString(std::string(t.value.rbegin(), t.value.rend())); }

struct RewriteCase {
    const char* name;
    std::string object;
    std::function<void(ObjectRewrite&)> setUp;
    std::string expected; // up to and including endobj or stream
};

void PrintTo(const RewriteCase& c, std::ostream* out) { *out << c.name; }

class ObjectRewriteTest : public ::testing::TestWithParam<RewriteCase> {};

// Numbers moved (its own and those it refers to, never plain numbers), keys dropped
// however their values nest, a stream's length set, entries added first, strings passed
// through the encoder; everything else byte for byte as it was.
TEST_P(ObjectRewriteTest, RewritesAsTold)
{
    const RewriteCase& c = GetParam();
    ObjectRewrite how;
    c.setUp(how);
    EXPECT_EQ(rewriteObject(tokenizeObject(c.object).tokens, how), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Objects, ObjectRewriteTest,
    ::testing::Values(
        RewriteCase{"Untouched", "4 0 obj\n<< /Type /Page /Parent 2 0 R /Rotate 0 >>\nendobj\n", [](ObjectRewrite&) {},
                    "4 0 obj\n<< /Type /Page /Parent 2 0 R /Rotate 0 >>\nendobj"},
        RewriteCase{"MovedInArray", "4 0 obj\n<< /Kids [5 0 R 6 0 R] /Count 2 /MediaBox [0 0 595 842] >>\nendobj\n",
                    [](ObjectRewrite& how) { how.offset = 100; },
                    "104 0 obj\n<< /Kids [105 0 R 106 0 R] /Count 2 /MediaBox [0 0 595 842] >>\nendobj"},
        RewriteCase{"MovedEverywhereItNests",
                    "9 0 obj\n<< /A 1 0 R /B [2 0 R [3 0 R << /C 4 0 R >>]] /D << /E << /F [5 0 R] >> >> >>\nendobj",
                    [](ObjectRewrite& how) { how.offset = 10; },
                    "19 0 obj\n<< /A 11 0 R /B [12 0 R [13 0 R << /C 14 0 R >>]] /D << /E << /F [15 0 R] >> >> "
                    ">>\nendobj"},
        RewriteCase{"MovedKeepingGenerations", "7 2 obj\n[3 1 R 4 0 R]\nendobj",
                    [](ObjectRewrite& how) { how.offset = 5; }, "12 2 obj\n[8 1 R 9 0 R]\nendobj"},
        RewriteCase{"MovedAcrossCommentsAndLineBreaks", "7 0 obj\n[3 % the font\n0\r\nR]\nendobj",
                    [](ObjectRewrite& how) { how.offset = 1; }, "8 0 obj\n[4 0 R]\nendobj"},
        RewriteCase{"IntegerRunsBeforeAReference", "7 0 obj\n[1 0 2 0 R 3]\nendobj",
                    [](ObjectRewrite& how) { how.offset = 40; }, "47 0 obj\n[1 0 42 0 R 3]\nendobj"},
        RewriteCase{"LookAlikesOfReferencesStay",
                    "6 0 obj\n<< /S (1 0 R) /H <3120302052> /N /5#200#20R /W [5 0 /R] /X 5 0 >>\nendobj",
                    [](ObjectRewrite& how) { how.offset = 3; },
                    "9 0 obj\n<< /S (1 0 R) /H <3120302052> /N /5#200#20R /W [5 0 /R] /X 5 0 >>\nendobj"},
        RewriteCase{"DroppedWithWhateverValue",
                    "1 0 obj\n<< /Type /Catalog /Metadata 9 0 R /Pages 2 0 R /Names << /Dests [3 0 R] >> /Lang (en) "
                    ">>\nendobj\n",
                    [](ObjectRewrite& how) {
                        how.dropped = {"/Metadata", "/Names", "/Lang"};
                    },
                    "1 0 obj\n<< /Type /Catalog  /Pages 2 0 R   >>\nendobj"},
        RewriteCase{"DroppedOnlyAtTheOutermostDictionary",
                    "3 0 obj\n<< /A << /Metadata 1 >> /K [<< /Metadata 2 >>] /Metadata 3 >>\nendobj\n",
                    [](ObjectRewrite& how) { how.dropped = {"/Metadata"}; },
                    "3 0 obj\n<< /A << /Metadata 1 >> /K [<< /Metadata 2 >>]  >>\nendobj"},
        RewriteCase{"DroppedNameValueIsNoKey", "3 0 obj\n<< /Type /Metadata /Subtype /XML >>\nendobj",
                    [](ObjectRewrite& how) { how.dropped = {"/Metadata"}; },
                    "3 0 obj\n<< /Type /Metadata /Subtype /XML >>\nendobj"},
        RewriteCase{"AddedFirst", "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n",
                    [](ObjectRewrite& how) { how.added = " /Outlines 7 0 R /PageMode /UseOutlines"; },
                    "1 0 obj\n<< /Outlines 7 0 R /PageMode /UseOutlines /Type /Catalog /Pages 2 0 R >>\nendobj"},
        RewriteCase{"AddedReplacesDropped", "2 0 obj\n<< /Type /Pages /Parent 1 0 R /Count 1 >>\nendobj\n",
                    [](ObjectRewrite& how) {
                        how.offset = 1;
                        how.dropped = {"/Parent"};
                        how.added = " /Parent 30 0 R";
                    },
                    "3 0 obj\n<< /Parent 30 0 R /Type /Pages  /Count 1 >>\nendobj"},
        RewriteCase{"AddedToNoInnerDictionary", "5 0 obj\n[<< /A 1 >>]\nendobj\n",
                    [](ObjectRewrite& how) { how.added = " /B 2"; }, "5 0 obj\n[<< /A 1 >>]\nendobj"},
        RewriteCase{"StreamLengthReferenceBecomesTheNewLength",
                    "8 0 obj\n<< /Length 9 0 R /Filter /FlateDecode >>\nstream\nxyz",
                    [](ObjectRewrite& how) {
                        how.offset = 10;
                        how.dataLength = 42;
                    },
                    "18 0 obj\n<< /Length 42 /Filter /FlateDecode >>\nstream"},
        RewriteCase{"StreamLengthNumberBecomesTheNewLength",
                    "8 0 obj\n<< /Filter /FlateDecode /Length 3 /DecodeParms << /Length 7 >> >>\nstream\nxyz",
                    [](ObjectRewrite& how) { how.dataLength = 0; },
                    "8 0 obj\n<< /Filter /FlateDecode /Length 0 /DecodeParms << /Length 7 >> >>\nstream"},
        RewriteCase{"StringsThroughTheHook",
                    "5 0 obj\n<< /Title (a\\)b) /Author <4142> /K [(x) << /T (yz) >>] /N /Name >>\nendobj\n",
                    [](ObjectRewrite& how) { how.string = reversed; },
                    "5 0 obj\n<< /Title <622961> /Author <4241> /K [<78> << /T <7A79> >>] /N /Name >>\nendobj"},
        RewriteCase{"StringsAsTheyStandWithoutAHook", "5 0 obj\n<< /Title (a\\)b) /Author <4142> /E () >>\nendobj\n",
                    [](ObjectRewrite&) {}, "5 0 obj\n<< /Title (a\\)b) /Author <4142> /E () >>\nendobj"},
        RewriteCase{"AStringObject", "5 0 obj\n(alone)\nendobj", [](ObjectRewrite& how) { how.string = reversed; },
                    "5 0 obj\n<656E6F6C61>\nendobj"}));

// Without its header an object is not one the document can take.
class HeaderlessObjectTest : public ::testing::TestWithParam<const char*> {};

TEST_P(HeaderlessObjectTest, IsRefused)
{
    const std::vector<PdfToken> tokens = tokenizeAll(GetParam());
    EXPECT_TRUE(test::throwsError<UnreadableDrawing>([&] { rewriteObject(tokens, {}); }));
}

INSTANTIATE_TEST_SUITE_P(Objects, HeaderlessObjectTest,
                         ::testing::Values("", "<< /A 1 >>", "4 0 << /A 1 >>", "4 obj 1 endobj", "/A 0 obj 1 endobj",
                                           "4 0 R", "4 1.0 obj 1 endobj", "% 4 0 obj\n1 endobj"));

} // namespace
} // namespace zintrel
