#include "TempTree.h"
#include "TestListing.h"

#include "bench/OptionsFile.h"

#include <functional>

namespace zintrel::test {
namespace {

TEST(OptionsFile, GoodLinesSetTheirField)
{
    struct Case {
        std::string line;
        std::function<bool(const ListingOptions&)> holds;
    } cases[] = {
        {"showName=false", [](const ListingOptions& o) { return !o.showName && o.showSize; }},
        {"includeSubfolders=false", [](const ListingOptions& o) { return !o.includeSubfolders; }},
        {"excludeAnyFile=true", [](const ListingOptions& o) { return o.excludeAnyFile; }},
        {"fieldSpacing=0", [](const ListingOptions& o) { return o.fieldSpacing == 0; }},
        {"indentSize=10", [](const ListingOptions& o) { return o.indentSize == 10; }},
        {"fileMask= *.doc; *.dot ", [](const ListingOptions& o) { return o.fileMask == " *.doc; *.dot "; }},
        {"fileMask=a=b", [](const ListingOptions& o) { return o.fileMask == "a=b"; }},
        {"pdfPassword=", [](const ListingOptions& o) { return o.pdfPassword.empty(); }},
        {"sizeFilterMode=-1", [](const ListingOptions& o) { return o.sizeFilterMode == SizeFilterMode::None; }},
        {"sizeFilterMode=1", [](const ListingOptions& o) { return o.sizeFilterMode == SizeFilterMode::AtMost; }},
        {"sizeFilterKb=5000000000", [](const ListingOptions& o) { return o.sizeFilterKb == 5000000000; }},
        {"dateFrom=2003-06-18",
         [](const ListingOptions& o) { return o.dateFrom == LocalDateTime{2003, 6, 18, 11, 48, 27, 990}; }},
        {"dateTo=2024-02-29",
         [](const ListingOptions& o) { return o.dateTo == LocalDateTime{2024, 2, 29, 11, 49, 24, 450}; }},
        {"folderColor=#0A0b0C",
         [](const ListingOptions& o) {
             return o.folderColor == RgbColor{10, 11, 12};
         }},
        {"fileColor=#ffffff",
         [](const ListingOptions& o) {
             return o.fileColor == RgbColor{255, 255, 255};
         }},
        {"listingFont=Liberation Sans,12",
         [](const ListingOptions& o) {
             return o.listingFont.face == "Liberation Sans" && o.listingFont.pointSize == 12;
         }},
        {"listingFont=A,B,9",
         [](const ListingOptions& o) { return o.listingFont.face == "A,B" && o.listingFont.pointSize == 9; }},
    };
    for (const Case& c : cases) {
        ListingOptions options = startOptions();
        EXPECT_NO_THROW(applyOptionLine(c.line, options)) << c.line;
        EXPECT_TRUE(c.holds(options)) << c.line;
    }
}

TEST(OptionsFile, BadLinesAreRefused)
{
    const char* lines[] = {
        "noSuchField=1",     "ShowName=true",       " showName=true",      "showName =true",     "showName",
        "showName=yes",      "showName=True",       "showName=",           "fieldSpacing=11",    "fieldSpacing=-1",
        "fieldSpacing= 2",   "indentSize=3.0",      "sizeFilterMode=2",    "sizeFilterMode=-2",  "sizeFilterKb=-5",
        "sizeFilterKb=1e3",  "dateFrom=2003-13-01", "dateFrom=18.06.2003", "dateFrom=2003-6-18", "dateTo=2023-02-29",
        "dateTo=2024-04-31", "folderColor=#12345G", "folderColor=123456",  "fileColor=#1234567", "fileColor=#12345",
        "listingFont=Arial", "listingFont=Arial,0", "listingFont=,8",
    };
    for (const char* line : lines) {
        ListingOptions options = startOptions();
        EXPECT_THROW(applyOptionLine(line, options), OptionsFileError) << line;
    }
}

TEST(OptionsFile, ErrorNamesTheFileAndLine)
{
    TempTree tree;
    const std::string path = tree.path("options");
    writeFile(path, "showName=false\r\n\nfieldSpacing=11\nshowSize=false\n");
    ListingOptions options = startOptions();
    std::string text;
    EXPECT_TRUE(throwsError<OptionsFileError>([&] { applyOptionsFile(path, options); }, &text));
    EXPECT_NE(text.find(path + ":3:"), std::string::npos) << text;
    EXPECT_NE(text.find("fieldSpacing"), std::string::npos) << text;
    EXPECT_FALSE(options.showName); // lines before the bad one took effect

    writeFile(path, "showName=false\r\nfileMask=*.txt\r\n");
    options = startOptions();
    EXPECT_NO_THROW(applyOptionsFile(path, options));
    EXPECT_FALSE(options.showName);
    EXPECT_EQ(options.fileMask, "*.txt");

    EXPECT_THROW(applyOptionsFile(tree.path("missing"), options), OptionsFileError);
}

} // namespace
} // namespace zintrel::test
