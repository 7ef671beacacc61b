// Outlines written through PdfFileWriter into a small document of three pages, read back
// through libqpdf: nesting, sibling links, closed counts, destinations and titles.

#include "pdfwrite/PdfOutline.h"

#include "WrittenPdf.h"
#include "pdfwrite/PdfEncryption.h"
#include "pdfwrite/PdfPermissions.h"
#include "pdfwrite/PdfSyntax.h"

#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFOutlineObjectHelper.hh>

#include <gtest/gtest.h>

#include <map>

namespace zintrel {
namespace {

constexpr int kPages = 3;

struct Outline {
    std::string bytes;
    int root = 0;
    std::vector<int> pages;
};

Outline writeDocument(const std::vector<PdfOutlineItem>& items, PdfEncryption* encryption = nullptr)
{
    test::SmallDocument document(kPages, encryption);
    Outline outline;
    outline.root = document.writer().newNumber();
    writeOutline(document.writer(), outline.root, items, document.pages());
    outline.pages = document.pages();
    outline.bytes = document.finish("", {}, "/Outlines " + std::to_string(outline.root) + " 0 R");
    return outline;
}

// The outline as "Title p2 -1 [kids]": the page a bookmark leads to (from 1), its count
// where it has one, and the bookmarks under it. Also checks each one's links to its
// parent and siblings, which libqpdf does not follow.
std::string shape(std::vector<QPDFOutlineObjectHelper> items, QPDFObjectHandle parent,
                  const std::map<QPDFObjGen, int>& pageOf)
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        QPDFObjectHandle item = items[i].getObjectHandle();
        const std::string title = items[i].getTitle();
        EXPECT_EQ(item.getKey("/Parent").getObjGen(), parent.getObjGen()) << title;
        if (i == 0) {
            EXPECT_EQ(parent.getKey("/First").getObjGen(), item.getObjGen()) << title;
        } else {
            EXPECT_EQ(item.getKey("/Prev").getObjGen(), items[i - 1].getObjectHandle().getObjGen()) << title;
        }
        if (i + 1 == items.size()) {
            EXPECT_EQ(parent.getKey("/Last").getObjGen(), item.getObjGen()) << title;
        } else {
            EXPECT_EQ(item.getKey("/Next").getObjGen(), items[i + 1].getObjectHandle().getObjGen()) << title;
        }
        EXPECT_EQ(item.hasKey("/Prev"), i > 0) << title;
        EXPECT_EQ(item.hasKey("/Next"), i + 1 < items.size()) << title;

        if (!text.empty())
            text += " ";
        text += title;
        QPDFObjectHandle dest = items[i].getDest();
        if (dest.isArray() && dest.getArrayNItems() == 5) {
            auto found = pageOf.find(dest.getArrayItem(0).getObjGen());
            text += " p" + (found == pageOf.end() ? std::string("?") : std::to_string(found->second));
            EXPECT_EQ(dest.getArrayItem(1).getName(), "/XYZ") << title;
            EXPECT_TRUE(dest.getArrayItem(2).isNull()) << title;
            text += "@" + pdfNumber(dest.getArrayItem(3).getNumericValue());
            EXPECT_TRUE(dest.getArrayItem(4).isNull()) << title;
        } else {
            text += " (no destination)";
        }
        if (item.hasKey("/Count"))
            text += " " + std::to_string(item.getKey("/Count").getIntValue());
        std::vector<QPDFOutlineObjectHelper> kids = items[i].getKids();
        if (!kids.empty()) {
            text += " [" + shape(kids, item, pageOf) + "]";
        } else {
            EXPECT_FALSE(item.hasKey("/First") || item.hasKey("/Last")) << title;
        }
    }
    return text;
}

std::string shapeOf(test::ReadBack& back, const Outline& outline)
{
    std::map<QPDFObjGen, int> pageOf;
    for (std::size_t i = 0; i < outline.pages.size(); ++i)
        pageOf[QPDFObjGen(outline.pages[i], 0)] = static_cast<int>(i) + 1;
    QPDFObjectHandle root = back.pdf().getRoot().getKey("/Outlines");
    EXPECT_EQ(root.getObjGen(), QPDFObjGen(outline.root, 0));
    EXPECT_EQ(root.getKey("/Type").getName(), "/Outlines");
    QPDFOutlineDocumentHelper helper(back.pdf());
    std::string text = shape(helper.getTopLevelOutlines(), root, pageOf);
    if (root.hasKey("/Count"))
        text = std::to_string(root.getKey("/Count").getIntValue()) + ": " + text;
    return text;
}

// The items as a listing's bookmarks come: each folder after its parent.
const std::vector<PdfOutlineItem> kTree = {
    {"Music", -1, 0, 800},    // 0
    {"Albums", 0, 0, 788},    // 1
    {"2023", 1, 1, 700},      // 2
    {"2024", 1, 2, 650.5},    // 3
    {"Singles", 0, 2, 600},   // 4
    {"Photos", -1, 2, 500},   // 5
    {"Far away", -1, 9, 400}, // 6: beyond the last page
    {"Orphan", 42, 1, 300},   // 7: a parent that is no earlier item
    {"Self", 8, 1, 200},      // 8: its own parent
};

TEST(PdfOutline, ItemsAreNestedLinkedAndClosedBelowTheTop)
{
    const Outline outline = writeDocument(kTree);
    test::ReadBack back(outline.bytes);
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
    // The top shows when the outline opens: the root counts the top items; each deeper
    // level is closed, counting its children negatively.
    EXPECT_EQ(shapeOf(back, outline),
              "5: Music p1@800 -2 [Albums p1@788 -2 [2023 p2@700 2024 p3@650.5] Singles p3@600] Photos p3@500 "
              "Far away p3@400 Orphan p2@300 Self p2@200");
}

TEST(PdfOutline, AnEncryptedDocumentKeepsItsOutline)
{
    PdfEncryption encryption("", randomPassword(), permissionValue(1, 1, 1, 1, 1, 1, 1, 1));
    const Outline outline = writeDocument(kTree, &encryption);
    test::ReadBack back(outline.bytes);
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
    EXPECT_EQ(shapeOf(back, outline),
              "5: Music p1@800 -2 [Albums p1@788 -2 [2023 p2@700 2024 p3@650.5] Singles p3@600] Photos p3@500 "
              "Far away p3@400 Orphan p2@300 Self p2@200");
}

TEST(PdfOutline, NoItemsLeaveAnEmptyOutline)
{
    const Outline outline = writeDocument({});
    test::ReadBack back(outline.bytes);
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
    EXPECT_EQ(shapeOf(back, outline), "");
    QPDFObjectHandle root = back.object(outline.root);
    EXPECT_FALSE(root.hasKey("/First") || root.hasKey("/Last") || root.hasKey("/Count"));
}

// Titles are text strings: printable ASCII as it is, anything else UTF-16BE after a byte
// order mark, so that every reader shows them.
TEST(PdfOutline, TitlesAreTextStrings)
{
    struct Case {
        const char* what;
        std::string title;
        std::string bytes;
        std::string shown; // UTF-8
    } cases[] = {
        {"ASCII", "Ab (c)", "Ab (c)", "Ab (c)"},
        {"a letter with an accent", "Caf\xC3\xA9", std::string("\xFE\xFF\0C\0a\0f\0\xE9", 10), "Caf\xC3\xA9"},
        {"a CJK name", "\xE6\x97\xA5\xE6\x9C\xAC", "\xFE\xFF\x65\xE5\x67\x2C", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"outside the Basic Multilingual Plane: a surrogate pair", "\xF0\x9F\x98\x80",
         std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6), "\xF0\x9F\x98\x80"},
        {"a byte that is no UTF-8 becomes U+FFFD", "a\xFF", std::string("\xFE\xFF\0a\xFF\xFD", 6), "a\xEF\xBF\xBD"},
        {"empty", "", "", ""},
    };
    std::vector<PdfOutlineItem> items;
    for (const Case& c : cases)
        items.push_back({c.title, -1, 0, 100});
    const Outline outline = writeDocument(items);
    test::ReadBack back(outline.bytes);
    EXPECT_EQ(back.problems(), std::vector<std::string>{});
    std::vector<QPDFOutlineObjectHelper> top = QPDFOutlineDocumentHelper(back.pdf()).getTopLevelOutlines();
    ASSERT_EQ(top.size(), std::size(cases));
    for (std::size_t i = 0; i < top.size(); ++i) {
        EXPECT_EQ(hexString(top[i].getObjectHandle().getKey("/Title").getStringValue()), hexString(cases[i].bytes))
            << cases[i].what;
        EXPECT_EQ(top[i].getTitle(), cases[i].shown) << cases[i].what;
    }
}

} // namespace
} // namespace zintrel
