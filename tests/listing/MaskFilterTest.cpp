// Filename masks: the base name and extension rules, whole names, and wildcard patterns.

#include "listing/MaskFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zintrel {
namespace {

struct MaskCase {
    const char* mask; // as typed
    const char* name; // as the file system gives it
    bool fits;
};

std::ostream& operator<<(std::ostream& out, const MaskCase& c)
{
    return out << "mask \"" << c.mask << "\", name \"" << c.name << "\"";
}

class MaskCaseTest : public testing::TestWithParam<MaskCase> {};

// Through MaskFilter, as a save uses it: the mask text split, cut and put in capitals, the
// name in capitals.
TEST_P(MaskCaseTest, FitsAsTheRulesSay)
{
    const MaskCase& c = GetParam();
    EXPECT_EQ(MaskFilter(c.mask).fits(c.name), c.fits);
}

// clang-format off
const MaskCase kBaseNameAndExtension[] = {
    {"*.txt", "notes.txt", true},
    {"*.txt", "a.b.txt", true},
    {"*.TXT", "Notes.Txt", true},
    {"*.txt", "txt", false},
    {"*.txt", "notes.txt.old", false},
    {"notes.*", "notes.txt", true},
    {"notes.*", "notes.", true},
    {"notes.*", "notes", true},
    {"notes.*", "notes.old.txt", false},
    {"data.tar.*", "data.tar.gz", true},
    {"data.*", "data.tar.gz", false},
    {"*.", "readme", true},
    {"*.", "notes.", true},
    {"*.", "notes.txt", false},
    {".*", ".bashrc", true},            // an empty base name
    {" *.dot", "letter.dot", true},     // what stands before "*." is not looked at
    {"x*.dot", "letter.dot", true},
    {"*.dot ", "letter.dot", false},     // a blank at the end is part of the mask
    {"*.t?t", "notes.txt", false},       // "?" and "*" in these masks stand for themselves
    {"*.t?t", "notes.t?t", true},
    {"r*.t*", "readme.txt", false},
    {"r*.t*", "r.t*", true},
};

const MaskCase kWholeNames[] = {
    {"readme", "readme", true},
    {"README", "readme", true},
    {"readme", "readme.txt", false},
    {" letter.dot", "letter.dot", false}, // an exact name keeps its blanks
    {" letter.dot", " letter.dot", true},
    {"letter.dot ", "letter.dot", false},
    {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", true},
    {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", false}, // only a to z change case
};

const MaskCase kWildcards[] = {
    {"r*", "readme", true},
    {"r*", "Readme.txt", true},
    {"r*", "r", true},
    {"r*", "notes.txt", false},
    {"IMG_*", "IMG_0001.JPG", true},
    {"IMG_*", "img_0001.jpg", true},
    {"IMG_*", "IMG0001.JPG", false},
    {"*me.txt", "readme.txt", true},
    {"*me.txt", "me.txt", true},
    {"*me.txt", "readme.txt.bak", false},
    {"*me.txt", "readme.text", false},
    {"read?e.txt", "readme.txt", true},
    {"read?e.txt", "ReadMe.txt", true},
    {"read?e.txt", "reade.txt", false},
    {"read?e.txt", "readmme.txt", false},
    {"read?e.txt", "read\xC3\xA9" "e.txt", true},        // one character of two bytes
    {"read?e.txt", "read\xE2\x82\xAC" "e.txt", true},    // one of three
    {"read?e.txt", "read\xF0\x9F\x93\x84" "e.txt", true}, // one of four
    {"read?e.txt", "read\xC3\xA9\xC3\xA9" "e.txt", false},
    {"read?e.txt", "read\xFF" "e.txt", true},            // a byte that is no UTF-8 is one character
    {"*", "anything at all.txt", true},
    {"*", ".hidden", true},
    {"*", "a", true},
    {"?", "a", true},
    {"?", "ab", false},
    {"??", "\xC3\xA9x", true},
    {"*\xC3\xA9", "caf\xC3\xA9", true},
    {"*?*", "x", true},
    {"a*b*c", "aXbYc", true},
    {"a*b*c", "aXbYcZ", false},
    {"a*b*c", "abcbc", true},
    {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    {"*.txt; IMG_*", "IMG_1.JPG", true},  // the blank after ";" is no part of the pattern
    {"*.txt;  r*", "readme", true},
    {"IMG_* ", "IMG_1", false},           // one at the end is
    {"IMG_* ", "IMG_1 ", true},
    {"*.doc; *; *.dot", "notes.pdf", true},
    {"abcdefghijklmnopqrs*", "ABCDEFGHIJKLMNOPQRSTUVW", true}, // the cut leaves the "*"
    {"abcdefghijklmnopqrst*", "ABCDEFGHIJKLMNOPQRSTUVW", false}, // the cut takes it
    {"abcdefghijklmnopqrst*", "ABCDEFGHIJKLMNOPQRST", true},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(BaseNameAndExtension, MaskCaseTest, testing::ValuesIn(kBaseNameAndExtension));
INSTANTIATE_TEST_SUITE_P(WholeNames, MaskCaseTest, testing::ValuesIn(kWholeNames));
INSTANTIATE_TEST_SUITE_P(Wildcards, MaskCaseTest, testing::ValuesIn(kWildcards));

TEST(MaskFilter, StarDotStarOrNothingTurnsTheFilterOff)
{
    for (const char* text : {"", "*.*", "*.txt;*.*", "x*.*y; *.doc"}) {
        MaskFilter filter(text);
        EXPECT_TRUE(filter.empty()) << text;
        EXPECT_TRUE(filter.fits("whatever")) << text;
    }
    EXPECT_FALSE(MaskFilter(";").fits("whatever"));
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
        {"r*; img_?", {"R*", " IMG_?"}},
        {"abcdefghijklmnopqrstuvwxy", {"ABCDEFGHIJKLMNOPQRST"}},
        {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9xyz",
         {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
          "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"}},
        {"1;2;3;4;5;6;7;8;9;10;11;12", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(buildMaskList(c.text), c.expected) << "\"" << c.text << "\"";
}

} // namespace
} // namespace zintrel
