#include "listing/OutputFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zintrel {
namespace {

TEST(CompleteTargetName, AppendsTheExtensionOfTheTypeUnlessPresentInAnyCase)
{
    struct Case {
        std::string chosen;
        OutputType type;
        std::string expected;
    } cases[] = {
        {"list", OutputType::Text, "list.txt"},
        {"LIST.TXT", OutputType::Text, "LIST.TXT"},
        {"list.TxT", OutputType::Text, "list.TxT"},
        {"list.pdf", OutputType::Text, "list.pdf.txt"},
        {"list.txt", OutputType::Pdf, "list.txt.pdf"},
        {"List.PdF", OutputType::Pdf, "List.PdF"},
        {".txt", OutputType::Text, ".txt"},
        {"listtxt", OutputType::Text, "listtxt.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(completeTargetName(c.chosen, c.type), c.expected) << c.chosen;
}

// The dialog, the name completion and the harnesses all read the one table: each format's
// dialog text names the pattern of the extension completion appends.
TEST(OutputFormats, EveryFormatHasItsOwnIdExtensionAndDialogPattern)
{
    std::vector<std::string> ids;
    for (const OutputFormat& format : outputFormats()) {
        const std::string extension = format.extension;
        EXPECT_EQ(extension.front(), '.') << format.id;
        EXPECT_TRUE(std::string(format.dialogFilter).ends_with("(*" + extension + ")")) << format.dialogFilter;
        EXPECT_EQ(completeTargetName("list", format.type), "list" + extension) << format.id;
        ASSERT_NE(outputFormatById(format.id), nullptr) << format.id;
        EXPECT_EQ(outputFormatById(format.id)->type, format.type) << format.id;
        EXPECT_EQ(&outputFormat(format.type), &format) << format.id;
        ids.push_back(format.id);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end()) << "an id twice";
    EXPECT_EQ(outputFormatById("doc"), nullptr);
    EXPECT_EQ(std::string(outputFormats().front().dialogFilter), "Text File (*.txt)");
    EXPECT_EQ(std::string(outputFormat(OutputType::Pdf).dialogFilter), "PDF File (*.pdf)");
}

} // namespace
} // namespace zintrel
