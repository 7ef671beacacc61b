// The outline's objects, checked as text: nesting, sibling links, counts and destinations.

#include "pdfrewrite/PdfOutline.h"

#include <gtest/gtest.h>

namespace zintrel {
namespace {

std::string plain(std::string_view bytes) { return hexString(bytes); }

TEST(PdfOutline, TitlesAreUtf16TextStrings)
{
    struct Case {
        const char* what;
        std::string title;
        std::string expected;
    } cases[] = {
        {"ASCII", "Ab", std::string("\xFE\xFF\0A\0b", 6)},
        {"two-byte letter", "\xC3\xA9", std::string("\xFE\xFF\0\xE9", 4)},
        {"outside the Basic Multilingual Plane: a surrogate pair", "\xF0\x9F\x98\x80",
         std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6)},
        {"a byte that is no UTF-8 becomes U+FFFD", "a\xFF", std::string("\xFE\xFF\0a\xFF\xFD", 6)},
        {"empty", "", "\xFE\xFF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hexString(utf16TextString(c.title)), hexString(c.expected)) << c.what;
}

TEST(PdfOutline, ItemsAreNestedLinkedAndClosedBelowTheTop)
{
    // A (page 1) with B and C under it (page 2), then D at the top (page 2).
    const std::vector<PdfOutlineItem> items = {
        {"A", -1, 0, 800},
        {"B", 0, 1, 700},
        {"C", 0, 1, 688},
        {"D", -1, 1, 676},
    };
    const std::vector<ObjectId> pages = {{3, 0}, {9, 0}};
    std::vector<std::string> objects = outlineObjects(items, 20, pages, plain);
    ASSERT_EQ(objects.size(), 5u);
    const std::string a = plain(utf16TextString("A")), b = plain(utf16TextString("B")), c = plain(utf16TextString("C")),
                      d = plain(utf16TextString("D"));
    EXPECT_EQ(objects[0], "20 0 obj\n<< /Type /Outlines /First 21 0 R /Last 24 0 R /Count 2 >>\nendobj\n");
    EXPECT_EQ(objects[1],
              "21 0 obj\n<< /Title " + a
                  + " /Parent 20 0 R /Next 24 0 R /First 22 0 R /Last 23 0 R /Count -2 /Dest [3 0 R /XYZ 0 "
                    "800 null] >>\nendobj\n");
    EXPECT_EQ(objects[2],
              "22 0 obj\n<< /Title " + b + " /Parent 21 0 R /Next 23 0 R /Dest [9 0 R /XYZ 0 700 null] >>\nendobj\n");
    EXPECT_EQ(objects[3],
              "23 0 obj\n<< /Title " + c + " /Parent 21 0 R /Prev 22 0 R /Dest [9 0 R /XYZ 0 688 null] >>\nendobj\n");
    EXPECT_EQ(objects[4],
              "24 0 obj\n<< /Title " + d + " /Parent 20 0 R /Prev 21 0 R /Dest [9 0 R /XYZ 0 676 null] >>\nendobj\n");
}

TEST(PdfOutline, AParentThatIsNoEarlierItemPutsTheItemAtTheTop)
{
    const std::vector<PdfOutlineItem> items = {{"A", 5, 0, 10}, {"B", 1, 0, 10}};
    std::vector<std::string> objects = outlineObjects(items, 1, {{4, 0}}, plain);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0], "1 0 obj\n<< /Type /Outlines /First 2 0 R /Last 3 0 R /Count 2 >>\nendobj\n");
}

} // namespace
} // namespace zintrel
