#include "pdfrewrite/ToUnicodeRepair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

using namespace zintrel;

namespace {

const std::string kHead = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                          "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
const std::string kTail = "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";

struct RepairCase {
    const char* name;
    std::string body;
    std::set<char32_t> drawn;
    std::string expected; // body after the repair
};

void PrintTo(const RepairCase& c, std::ostream* out) { *out << c.name; }

class ToUnicodeRepairTest : public ::testing::TestWithParam<RepairCase> {};

TEST_P(ToUnicodeRepairTest, MovesUndrawnAliasesToTheDrawnCharacter)
{
    const RepairCase& c = GetParam();
    auto drawn = [&c](char32_t ch) { return c.drawn.count(ch) > 0; };
    EXPECT_EQ(repairToUnicode(kHead + c.body + kTail, drawn), kHead + c.expected + kTail);
}

INSTANTIATE_TEST_SUITE_P(
    Maps, ToUnicodeRepairTest,
    ::testing::Values(
        RepairCase{"TabBecomesBlank",
                   "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0003> [<0041> <0009> <0042> ]\nendbfrange\n",
                   {U'A', U' ', U'B'},
                   "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0003> [<0041> <0020> <0042> ]\nendbfrange\n"},
        RepairCase{"TabStaysWithoutDrawnBlank",
                   "1 beginbfrange\n<0001> <0001> [<0009> ]\nendbfrange\n",
                   {U'A'},
                   "1 beginbfrange\n<0001> <0001> [<0009> ]\nendbfrange\n"},
        RepairCase{"KangxiRadicalBecomesIdeograph",
                   "1 beginbfrange\n<0001> <0002> [<4E2D> <2F42> ]\nendbfrange\n",
                   {U'\u4E2D', U'\u6587'},
                   "1 beginbfrange\n<0001> <0002> [<4E2D> <6587> ]\nendbfrange\n"},
        RepairCase{"DrawnRadicalStays",
                   "1 beginbfrange\n<0001> <0001> [<2F42> ]\nendbfrange\n",
                   {U'\u2F42', U'\u6587'},
                   "1 beginbfrange\n<0001> <0001> [<2F42> ]\nendbfrange\n"},
        RepairCase{"MicroSignBecomesMu",
                   "1 beginbfchar\n<0005> <00B5>\nendbfchar\n",
                   {U'\u03BC'},
                   "1 beginbfchar\n<0005> <03BC>\nendbfchar\n"},
        RepairCase{"SingleGlyphRange",
                   "1 beginbfrange\n<0007> <0007> <0009>\nendbfrange\n",
                   {U' '},
                   "1 beginbfrange\n<0007> <0007> <0020>\nendbfrange\n"},
        // A range over several glyphs counts up from its destination; it cannot move.
        RepairCase{"WideRangeStays",
                   "1 beginbfrange\n<0007> <0008> <0009>\nendbfrange\n",
                   {U' '},
                   "1 beginbfrange\n<0007> <0008> <0009>\nendbfrange\n"},
        RepairCase{"MissingGlyphStays",
                   "1 beginbfchar\n<0000> <0000>\nendbfchar\n",
                   {U' '},
                   "1 beginbfchar\n<0000> <0000>\nendbfchar\n"},
        RepairCase{"SurrogatePairsSurvive",
                   "1 beginbfchar\n<0003> <D83DDE00>\nendbfchar\n",
                   {U'\U0001F600'},
                   "1 beginbfchar\n<0003> <D83DDE00>\nendbfchar\n"}),
    [](const ::testing::TestParamInfo<RepairCase>& info) { return std::string(info.param.name); });

struct CompleteCase {
    const char* name;
    std::string body;
    unsigned codeCount;                 // glyphs in the font program
    std::map<unsigned, char32_t> known; // code: the character its glyph was drawn for
    std::set<char32_t> drawn;
    std::string expected; // body after the completion
};

void PrintTo(const CompleteCase& c, std::ostream* out) { *out << c.name; }

class CompleteToUnicodeTest : public ::testing::TestWithParam<CompleteCase> {};

TEST_P(CompleteToUnicodeTest, AddsTheCodesTheMapLeavesOut)
{
    const CompleteCase& c = GetParam();
    auto characterOf = [&c](unsigned code) -> std::optional<char32_t> {
        auto found = c.known.find(code);
        return found == c.known.end() ? std::nullopt : std::optional<char32_t>(found->second);
    };
    auto drawn = [&c](char32_t ch) { return c.drawn.count(ch) > 0; };
    EXPECT_EQ(completeToUnicode(kHead + c.body + kTail, c.codeCount, characterOf, drawn), kHead + c.expected + kTail);
}

const std::string kOnlyMissingGlyph = "1 beginbfrange\n<0000> <0000> <0000>\nendbfrange\n";
const std::string kRadical = "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0001> <2E87>\nendbfrange\n";

// count bfchar entries from code 1 on, each for the emoji U+1F600 + code, in blocks of 100.
std::string emojiBlocks(unsigned count)
{
    std::string out;
    for (unsigned first = 1; first <= count; first += 100) {
        unsigned last = std::min(count, first + 99);
        out += std::to_string(last - first + 1) + " beginbfchar\n";
        for (unsigned code = first; code <= last; ++code) {
            char32_t c = U'\U0001F600' + code;
            char line[32];
            std::snprintf(line, sizeof line, "<%04X> <D83D%04X>\n", code, static_cast<unsigned>(0xDC00 + (c & 0x3FF)));
            out += line;
        }
        out += "endbfchar\n";
    }
    return out;
}

std::map<unsigned, char32_t> emojiCodes(unsigned count)
{
    std::map<unsigned, char32_t> codes;
    for (unsigned code = 1; code <= count; ++code)
        codes[code] = U'\U0001F600' + code;
    return codes;
}

INSTANTIATE_TEST_SUITE_P(
    Maps, CompleteToUnicodeTest,
    ::testing::Values(
        CompleteCase{"EmojiAsSurrogatePair",
                     kOnlyMissingGlyph,
                     2,
                     {{1, U'\U0001F600'}},
                     {},
                     kOnlyMissingGlyph + "1 beginbfchar\n<0001> <D83DDE00>\nendbfchar\n"},
        CompleteCase{"IdeographBesideDrawnOnes",
                     "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0001> <4E2D>\nendbfrange\n"
                     "1 beginbfchar\n<0003> <6587>\nendbfchar\n",
                     4,
                     {{1, U'\U00020BB7'}, {2, U'\U00020BB7'}, {3, U'\U0002A6B2'}},
                     {U'\u4E2D', U'\u6587'},
                     "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0001> <4E2D>\nendbfrange\n"
                     "1 beginbfchar\n<0003> <6587>\nendbfchar\n"
                     "1 beginbfchar\n<0002> <D842DFB7>\nendbfchar\n"},
        CompleteCase{"ArrayRangeCountsAsMapped",
                     "1 beginbfrange\n<0000> <0002> [<0000> <0041> <0042> ]\nendbfrange\n",
                     4,
                     {{2, U'\U0001F600'}, {3, U'\U0001F63A'}},
                     {U'A', U'B'},
                     "1 beginbfrange\n<0000> <0002> [<0000> <0041> <0042> ]\nendbfrange\n"
                     "1 beginbfchar\n<0003> <D83DDE3A>\nendbfchar\n"},
        CompleteCase{"WideRangeCountsAsMapped",
                     "1 beginbfrange\n<0000> <0003> <0040>\nendbfrange\n",
                     5,
                     {{3, U'\U0001F600'}, {4, U'\U0001F431'}},
                     {},
                     "1 beginbfrange\n<0000> <0003> <0040>\nendbfrange\n"
                     "1 beginbfchar\n<0004> <D83DDC31>\nendbfchar\n"},
        CompleteCase{"UndrawnLookAlikeGivesWay",
                     kRadical,
                     2,
                     {{1, U'\U00020628'}},
                     {},
                     "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0001> <D841DE28>\nendbfrange\n"},
        CompleteCase{"DrawnLookAlikeStays", kRadical, 2, {{1, U'\U00020628'}}, {U'\u2E87'}, kRadical},
        CompleteCase{"UndrawnLookAlikeInArrayGivesWay",
                     "1 beginbfrange\n<0001> <0002> [<0041> <2E87> ]\nendbfrange\n",
                     3,
                     {{2, U'\U00020628'}},
                     {U'A'},
                     "1 beginbfrange\n<0001> <0002> [<0041> <D841DE28> ]\nendbfrange\n"},
        CompleteCase{"BasicPlaneCharacterInFourDigits",
                     kOnlyMissingGlyph,
                     2,
                     {{1, U'\u00E9'}},
                     {},
                     kOnlyMissingGlyph + "1 beginbfchar\n<0001> <00E9>\nendbfchar\n"},
        CompleteCase{"UnknownGlyphStaysUnmapped", kOnlyMissingGlyph, 3, {}, {}, kOnlyMissingGlyph},
        CompleteCase{"MissingGlyphStays", kOnlyMissingGlyph, 2, {{0, U'\U0001F600'}}, {}, kOnlyMissingGlyph},
        CompleteCase{"UnmappedMissingGlyphStays", "", 2, {{0, U'\U0001F600'}}, {}, ""},
        CompleteCase{
            "CodeBeyondTheProgramIsLeftOut", kOnlyMissingGlyph, 2, {{2, U'\U0001F600'}}, {}, kOnlyMissingGlyph},
        CompleteCase{
            "BlocksOfAHundred", kOnlyMissingGlyph, 151, emojiCodes(150), {}, kOnlyMissingGlyph + emojiBlocks(150)}),
    [](const ::testing::TestParamInfo<CompleteCase>& info) { return std::string(info.param.name); });

TEST(CompleteToUnicode, AddsNothingToAMapWithoutEnd)
{
    const std::string cut = kHead + kOnlyMissingGlyph;
    auto emoji = [](unsigned) { return std::optional<char32_t>(U'\U0001F600'); };
    EXPECT_EQ(completeToUnicode(cut, 2, emoji, [](char32_t) { return false; }), cut);
}

} // namespace
