#include "pdf/ToUnicodeRepair.h"

#include <gtest/gtest.h>

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
        RepairCase{"TabBecomesBlank", "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0003> [<0041> <0009> <0042> ]\nendbfrange\n",
                   {U'A', U' ', U'B'},
                   "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0003> [<0041> <0020> <0042> ]\nendbfrange\n"},
        RepairCase{"TabStaysWithoutDrawnBlank", "1 beginbfrange\n<0001> <0001> [<0009> ]\nendbfrange\n", {U'A'},
                   "1 beginbfrange\n<0001> <0001> [<0009> ]\nendbfrange\n"},
        RepairCase{"KangxiRadicalBecomesIdeograph", "1 beginbfrange\n<0001> <0002> [<4E2D> <2F42> ]\nendbfrange\n",
                   {U'\u4E2D', U'\u6587'}, "1 beginbfrange\n<0001> <0002> [<4E2D> <6587> ]\nendbfrange\n"},
        RepairCase{"DrawnRadicalStays", "1 beginbfrange\n<0001> <0001> [<2F42> ]\nendbfrange\n", {U'\u2F42', U'\u6587'},
                   "1 beginbfrange\n<0001> <0001> [<2F42> ]\nendbfrange\n"},
        RepairCase{"MicroSignBecomesMu", "1 beginbfchar\n<0005> <00B5>\nendbfchar\n", {U'\u03BC'},
                   "1 beginbfchar\n<0005> <03BC>\nendbfchar\n"},
        RepairCase{"SingleGlyphRange", "1 beginbfrange\n<0007> <0007> <0009>\nendbfrange\n", {U' '},
                   "1 beginbfrange\n<0007> <0007> <0020>\nendbfrange\n"},
        // A range over several glyphs counts up from its destination; it cannot move.
        RepairCase{"WideRangeStays", "1 beginbfrange\n<0007> <0008> <0009>\nendbfrange\n", {U' '},
                   "1 beginbfrange\n<0007> <0008> <0009>\nendbfrange\n"},
        RepairCase{"MissingGlyphStays", "1 beginbfchar\n<0000> <0000>\nendbfchar\n", {U' '},
                   "1 beginbfchar\n<0000> <0000>\nendbfchar\n"},
        RepairCase{"SurrogatePairsSurvive", "1 beginbfchar\n<0003> <D83DDE00>\nendbfchar\n", {U'\U0001F600'},
                   "1 beginbfchar\n<0003> <D83DDE00>\nendbfchar\n"}),
    [](const ::testing::TestParamInfo<RepairCase>& info) { return std::string(info.param.name); });

} // namespace
