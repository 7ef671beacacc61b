#include "listing/ListingOptions.h"
#include "listing/EntryFilter.h"
#include "listing/ListingText.h"

#include <gtest/gtest.h>

#include <cstdint>
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

TEST(MatchesMask, BaseNameAndExtensionRules)
{
    struct Case {
        const char* name;
        const char* mask;
        bool expected;
    } cases[] = {
        {"NOTES.TXT", "*.TXT", true},
        {"A.B.TXT", "*.TXT", true},
        {"TXT", "*.TXT", false},
        {"NOTES.TXT", "NOTES.*", true},
        {"NOTES.", "NOTES.*", true},
        {"NOTES", "NOTES.*", true},
        {"NOTES.OLD.TXT", "NOTES.*", false},
        {"README", "*.", true},
        {"NOTES.", "*.", true},
        {"NOTES.TXT", "*.", false},
        {".BASHRC", ".*", true}, // empty base name
        {"LETTER.DOT", " *.DOT", true}, // what stands before "*." is not looked at
        {"LETTER.DOT", "*.DOT ", false},
        {"LETTER.DOT", " LETTER.DOT", false},
        {" LETTER.DOT", " LETTER.DOT", true},
        {"NOTES.TXT", "*", false},
        {"*", "*", true},
        {"?", "?", true},
        {"NOTES.TXT", "N?TES.TXT", false},
        {"DATA.TAR.GZ", "DATA.TAR.*", true},
        {"DATA.TAR.GZ", "DATA.*", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchesMask(c.name, c.mask), c.expected) << "name \"" << c.name << "\", mask \"" << c.mask << "\"";
}

TEST(BuildMaskList, SplitsAtSemicolonsKeepsBlanksAndCuts)
{
    using Masks = std::vector<std::string>;
    struct Case {
        std::string text;
        Masks expected;
    } cases[] = {
        {"", {}},
        {"*.doc; *.dot", {"*.DOC", " *.DOT"}},
        {"*.doc;", {"*.DOC"}},
        {"*.doc;;", {"*.DOC", ""}},
        {";", {""}},
        {"a;;b", {"A", "", "B"}},
        {"*.*", {}},
        {"*.txt;*.*", {}},
        {"x*.*y; *.doc", {}},
        {" *.txt ", {" *.TXT "}},
        {"abcdefghijklmnopqrstuvwxy", {"ABCDEFGHIJKLMNOPQRST"}},
        {"1;2;3;4;5;6;7;8;9;10;11;12", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(buildMaskList(c.text), c.expected) << "\"" << c.text << "\"";
}

TEST(BuildAttributeMask, EachExcludeFlagTakesOnlyItsOwnBit)
{
    struct Case {
        bool ListingOptions::*flag;
        std::uint32_t expected;
    } cases[] = {
        {nullptr, 63},
        {&ListingOptions::excludeReadOnly, 63 - 1},
        {&ListingOptions::excludeHidden, 63 - 2},
        {&ListingOptions::excludeSystem, 63 - 4},
        {&ListingOptions::excludeVolumeId, 63 - 8},
        {&ListingOptions::excludeDirectory, 63 - 16},
        {&ListingOptions::excludeArchive, 63 - 32},
    };
    for (const Case& c : cases) {
        ListingOptions options;
        if (c.flag)
            options.*c.flag = true;
        EXPECT_EQ(buildAttributeMask(options), c.expected);
    }
}

} // namespace
} // namespace zintrel
