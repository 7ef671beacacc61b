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

TEST(HasRightToLeft, LettersWrittenRightToLeftAndDirectionControls)
{
    struct Case {
        const char* what;
        std::string text;
        bool expected;
    } cases[] = {
        {"ASCII", "notes.txt", false},
        {"Latin with accents", "caf\xC3\xA9 na\xC3\xAFve", false},
        {"Cyrillic", "\xD0\x9F\xD1\x80\xD0\xB8", false},
        {"CJK and emoji", "\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80", false},
        {"Hebrew", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D.txt", true},
        {"Arabic", "\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85", true},
        {"Arabic presentation form", "\xEF\xBB\xBB", true},
        {"right-to-left override", "abc\xE2\x80\xAEtxt.exe", true},
        {"right-to-left mark", "a\xE2\x80\x8F", true},
        {"first strong isolate", "\xE2\x81\xA8x", true},
        {"left-to-right quotes only", "\xE2\x80\x9Cq\xE2\x80\x9D", false},
        {"bytes that are no UTF-8", "\xFF\xD7", false},
        {"Hebrew cut short at the end", "a\xD7", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hasRightToLeft(c.text), c.expected) << c.what;
}

} // namespace
} // namespace zintrel
