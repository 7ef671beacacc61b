// A drawing written here by hand, read back through its cross-reference table.

#include "pdfrewrite/DrawingReader.h"

#include "HandMadePdf.h"
#include "platform/InputFile.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace zintrel {
namespace {

const std::string kContent = "0 0 1 rg 10 10 80 40 re f\n";

std::vector<ObjectId> idsOf(const std::vector<ObjectPlace>& places)
{
    std::vector<ObjectId> ids;
    for (const ObjectPlace& place : places)
        ids.push_back(place.id);
    return ids;
}

TEST(DrawingReader, FindsEachObjectWhereItStands)
{
    const std::string bytes = test::sampleDrawing(kContent);
    test::MemoryFile file(bytes);
    InputFile input(file.fd(), "drawing.pdf");
    DrawingReader reader(input);

    const std::vector<ObjectPlace>& places = reader.places();
    EXPECT_EQ(idsOf(places), (std::vector<ObjectId>{{1, 0}, {2, 0}, {4, 0}, {5, 0}, {6, 0}, {3, 0}, {7, 0}}));
    // Each object reaches up to the next; the last one up to the table.
    const std::size_t table = bytes.rfind("\nxref\n") + 1;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const ObjectPlace& place = places[i];
        const std::string header = "\n" + std::to_string(place.id.number) + " 0 obj\n";
        EXPECT_EQ(place.offset, bytes.find(header) + 1) << place.id.number;
        EXPECT_EQ(place.end, i + 1 < places.size() ? places[i + 1].offset : table) << place.id.number;
        const std::string text = reader.objectText(place);
        EXPECT_EQ(text, bytes.substr(place.offset, place.end - place.offset));
        EXPECT_EQ(text.rfind("endobj\n"), text.size() - 7) << text;
    }
    EXPECT_EQ(reader.root(), (ObjectId{1, 0}));
    EXPECT_EQ(reader.info(), (ObjectId{2, 0}));
    EXPECT_EQ(
        reader.information(),
        (std::map<std::string, std::string>{{"/Producer", "Qt 6.4.2"}, {"/Title", "L\xC3\xA9"}, {"/Creator", "a(b)"}}));
    EXPECT_EQ(reader.nextNumber(), 8);
    EXPECT_EQ(reader.pages(), std::vector<ObjectId>{(ObjectId{4, 0})});
}

TEST(DrawingReader, ReadsStreamDataByItsLength)
{
    // The content's length stands in an object of its own, the metadata's in its dictionary.
    test::MemoryFile file(test::sampleDrawing(kContent));
    InputFile input(file.fd(), "drawing.pdf");
    DrawingReader reader(input);
    for (const ObjectPlace& place : reader.places()) {
        const std::string text = reader.objectText(place);
        const ObjectTokens parsed = tokenizeObject(text);
        if (place.id == ObjectId{5, 0}) {
            EXPECT_EQ(reader.storedData(text, parsed), kContent);
        } else if (place.id == ObjectId{7, 0}) {
            EXPECT_EQ(reader.storedData(text, parsed).find("<?xpacket begin="), 0u);
        }
    }
    ASSERT_TRUE(reader.objectTokens({3, 0}));
    EXPECT_EQ(DrawingReader::nameValue(reader.objectTokens({3, 0})->tokens, "/Type"), "/Pages");
    EXPECT_FALSE(reader.objectTokens({8, 0}));
    EXPECT_FALSE(reader.objectTokens({3, 1}));
}

TEST(DrawingReader, PagesInTheOrderOfTheTreeDepthFirst)
{
    // Page 3, then the pages 6 and 5 of the tree 4, then page 7.
    const std::string bytes = test::classicPdf(
        {
            {1, "<< /Type /Catalog /Pages 2 0 R >>"},
            {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 7 0 R] /Count 4 >>"},
            {3, "<< /Type /Page /Parent 2 0 R >>"},
            {4, "<< /Type /Pages /Parent 2 0 R /Kids [6 0 R 5 0 R] /Count 2 >>"},
            {5, "<< /Type /Page /Parent 4 0 R >>"},
            {6, "<< /Type /Page /Parent 4 0 R >>"},
            {7, "<< /Type /Page /Parent 2 0 R >>"},
        },
        "/Root 1 0 R");
    test::MemoryFile file(bytes);
    InputFile input(file.fd(), "drawing.pdf");
    DrawingReader reader(input);
    EXPECT_EQ(reader.pages(), (std::vector<ObjectId>{{3, 0}, {6, 0}, {5, 0}, {7, 0}}));
    EXPECT_FALSE(reader.info());
    EXPECT_TRUE(reader.information().empty());
}

} // namespace
} // namespace zintrel
