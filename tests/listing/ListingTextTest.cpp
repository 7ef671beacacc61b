#include "listing/ListingText.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
} // namespace zintrel
