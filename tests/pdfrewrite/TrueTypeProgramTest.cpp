// TrueType programs built here table by table, as small as the reader allows.

#include "pdfrewrite/TrueTypeProgram.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zintrel {
namespace {

std::string bigEndian(std::uint32_t value, int width)
{
    std::string bytes;
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        bytes += static_cast<char>(value >> shift & 0xFF);
    return bytes;
}

struct Glyph {
    std::string outline; // as glyf stores it; empty for a glyph that draws nothing
    std::uint16_t advance;
};

struct Font {
    std::vector<Glyph> glyphs;
    bool longOffsets = false;
    int metrics = -1; // advance widths hmtx stores; -1: one per glyph
};

// Outlines of even length, as short loca offsets need them; their bytes only have to differ.
const std::string kBox("\x00\x01\x00\x00\x00\x00\x01\xF4\x02\xBC\x00\x03", 12);
const std::string kBar("\x00\x01\x00\x64\x00\x00\x00\xC8\x02\xBC\x00\x01", 12);
const std::string kDot("\x00\x01\x00\x64\x00\x00\x00\xC8\x00\xC8\x00\x00\x00\x00", 14);

using Tables = std::map<std::string, std::string>; // tag: bytes

constexpr std::size_t kHeadSize = 54;
constexpr std::size_t kHeadLocaFormatAt = 50;
constexpr std::size_t kHheaSize = 36;

Tables tablesOf(const Font& font)
{
    const int count = static_cast<int>(font.glyphs.size());
    const int metrics = font.metrics < 0 ? count : font.metrics;
    Tables tables;
    std::string head(kHeadSize, '\0');
    head.replace(kHeadLocaFormatAt, 2, bigEndian(font.longOffsets ? 1 : 0, 2));
    tables["head"] = head;
    tables["maxp"] = bigEndian(0x00005000, 4) + bigEndian(count, 2); // version 0.5: the glyph count only
    tables["hhea"] = std::string(kHheaSize - 2, '\0') + bigEndian(metrics, 2);
    std::string hmtx, loca, glyf;
    for (int i = 0; i < count; ++i) {
        const Glyph& glyph = font.glyphs[i];
        hmtx += i < metrics ? bigEndian(glyph.advance, 2) + bigEndian(0, 2) : bigEndian(0, 2);
        loca += font.longOffsets ? bigEndian(glyf.size(), 4) : bigEndian(glyf.size() / 2, 2);
        glyf += glyph.outline;
    }
    loca += font.longOffsets ? bigEndian(glyf.size(), 4) : bigEndian(glyf.size() / 2, 2);
    tables["hmtx"] = hmtx;
    tables["loca"] = loca;
    tables["glyf"] = glyf;
    return tables;
}

constexpr std::size_t kRecordsAt = 12;
constexpr std::size_t kRecordSize = 16;
constexpr std::size_t kRecordLengthAt = 12;

// The sfnt: its header, one record per table, then the tables, each padded to four bytes.
std::string sfnt(const Tables& tables)
{
    std::string directory = bigEndian(0x00010000, 4) + bigEndian(tables.size(), 2) + std::string(6, '\0');
    std::string data;
    const std::size_t dataAt = kRecordsAt + tables.size() * kRecordSize;
    for (const auto& [tag, bytes] : tables) {
        directory += tag + bigEndian(0, 4) + bigEndian(dataAt + data.size(), 4) + bigEndian(bytes.size(), 4);
        data += bytes + std::string((4 - bytes.size() % 4) % 4, '\0');
    }
    return directory + data;
}

std::string programOf(const Font& font) { return sfnt(tablesOf(font)); }

// The program with the length its directory gives table tag set to length.
std::string withTableLength(std::string program, const std::string& tag, std::uint32_t length)
{
    for (std::size_t record = kRecordsAt; record + kRecordSize <= program.size(); record += kRecordSize) {
        if (program.compare(record, 4, tag) == 0) {
            program.replace(record + kRecordLengthAt, 4, bigEndian(length, 4));
            return program;
        }
    }
    ADD_FAILURE() << "no table " << tag;
    return program;
}

std::string signatureOf(const Font& font, int glyph)
{
    std::optional<TrueTypeProgram> program = TrueTypeProgram::read(programOf(font));
    if (!program) {
        ADD_FAILURE() << "the program does not read";
        return {};
    }
    return program->signature(glyph);
}

TEST(TrueTypeProgram, CountsTheGlyphsOfMaxp)
{
    for (bool longOffsets : {false, true}) {
        for (std::size_t count : {1, 4}) {
            Font font{std::vector<Glyph>(count, Glyph{kBox, 500}), longOffsets};
            std::optional<TrueTypeProgram> program = TrueTypeProgram::read(programOf(font));
            ASSERT_TRUE(program) << count << (longOffsets ? " long" : " short");
            EXPECT_EQ(program->glyphCount(), static_cast<int>(count)) << (longOffsets ? "long" : "short");
        }
    }
}

// Two glyphs, each in a program of its own: whether their signatures match.
struct SignatureCase {
    const char* name;
    Font first;
    int firstGlyph;
    Font second;
    int secondGlyph;
    bool same;
};

void PrintTo(const SignatureCase& c, std::ostream* out) { *out << c.name; }

class SignatureTest : public ::testing::TestWithParam<SignatureCase> {};

TEST_P(SignatureTest, MatchesExactlyForGlyphsStoredAlike)
{
    const SignatureCase& c = GetParam();
    const std::string first = signatureOf(c.first, c.firstGlyph);
    const std::string second = signatureOf(c.second, c.secondGlyph);
    EXPECT_FALSE(first.empty());
    EXPECT_FALSE(second.empty());
    EXPECT_EQ(first == second, c.same);
}

const Font kThree{{{kBox, 500}, {kBar, 500}, {kBox, 500}}};

INSTANTIATE_TEST_SUITE_P(
    Glyphs, SignatureTest,
    ::testing::Values(
        SignatureCase{"SameProgramSameGlyphStoredTwice", kThree, 0, kThree, 2, true},
        SignatureCase{"SameProgramOtherOutline", kThree, 0, kThree, 1, false},
        SignatureCase{"ShortAndLongOffsetsElsewhereInGlyf", Font{{{kBar, 600}, {kDot, 250}, {kBox, 500}}, false}, 2,
                      Font{{{kBox, 500}, {kDot, 250}}, true}, 0, true},
        SignatureCase{"OtherAdvance", Font{{{kBox, 500}}}, 0, Font{{{kBox, 501}}}, 0, false},
        SignatureCase{"AdvanceDiffersInItsLowByteOnly", Font{{{kBox, 0x0100}}}, 0, Font{{{kBox, 0x0101}}}, 0, false},
        SignatureCase{"OtherOutlineSameAdvance", Font{{{kBox, 500}}}, 0, Font{{{kBar, 500}}}, 0, false},
        SignatureCase{"OutlineThatIsTheOtherOnesStart", Font{{{kBox, 500}}}, 0, Font{{{kBox + kBox, 500}}}, 0, false},
        // Glyphs past hmtx's long metrics share the last advance width.
        SignatureCase{"PastTheMetricsTheLastAdvance", Font{{{kBox, 700}, {kBar, 500}, {kDot, 900}}, false, 2}, 2,
                      Font{{{kDot, 500}}}, 0, true},
        SignatureCase{"PastTheMetricsNotItsOwnAdvance", Font{{{kBox, 700}, {kBar, 500}, {kDot, 900}}, false, 2}, 2,
                      Font{{{kDot, 900}}}, 0, false},
        // A blank draws nothing, but its advance still tells it from other blanks.
        SignatureCase{"BlanksOfOneWidth", Font{{{kBox, 500}, {"", 250}}}, 1, Font{{{"", 250}}, true}, 0, true},
        SignatureCase{"BlanksOfTwoWidths", Font{{{"", 250}}}, 0, Font{{{"", 333}}}, 0, false}));

TEST(TrueTypeProgram, NoSignatureForAGlyphItDoesNotHave)
{
    std::optional<TrueTypeProgram> program = TrueTypeProgram::read(programOf(kThree));
    ASSERT_TRUE(program);
    for (int glyph : {-1, 3, 4, 65535})
        EXPECT_EQ(program->signature(glyph), "") << glyph;
}

// A loca whose offsets run backwards or past glyf's end places no outline for a glyph.
TEST(TrueTypeProgram, NoSignatureForAGlyphLocaCannotPlace)
{
    struct Case {
        const char* what;
        std::vector<std::uint32_t> offsets; // long loca, for glyphs 0 to 2
        std::vector<bool> placed;
    } cases[] = {
        {"offsets that run backwards", {0, 24, 12, 36}, {true, false, true}},
        {"an end past glyf", {0, 12, 24, 38}, {true, true, false}},
        {"an empty outline at glyf's very end", {0, 12, 36, 36}, {true, true, true}},
    };
    for (const Case& c : cases) {
        Tables tables = tablesOf(Font{{{kBox, 500}, {kBar, 500}, {kBox, 500}}, true});
        std::string loca;
        for (std::uint32_t offset : c.offsets)
            loca += bigEndian(offset, 4);
        tables["loca"] = loca;
        std::optional<TrueTypeProgram> program = TrueTypeProgram::read(sfnt(tables));
        ASSERT_TRUE(program) << c.what;
        for (int glyph = 0; glyph < 3; ++glyph)
            EXPECT_EQ(!program->signature(glyph).empty(), c.placed[glyph]) << c.what << ", glyph " << glyph;
    }
}

// A program whose tables are missing or do not fit is none the reader takes.
struct BrokenCase {
    const char* name;
    std::function<std::string()> program;
};

void PrintTo(const BrokenCase& c, std::ostream* out) { *out << c.name; }

class BrokenProgramTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenProgramTest, IsRefused) { EXPECT_FALSE(TrueTypeProgram::read(GetParam().program())); }

const Font kTwo{{{kBox, 500}, {kBar, 600}}};

// Whole, the program that the cases below break reads, in either loca format.
TEST(TrueTypeProgram, TheProgramToBreakReads)
{
    Font font = kTwo;
    for (bool longOffsets : {false, true}) {
        font.longOffsets = longOffsets;
        std::optional<TrueTypeProgram> program = TrueTypeProgram::read(programOf(font));
        ASSERT_TRUE(program);
        EXPECT_EQ(program->glyphCount(), 2);
    }
}

std::string without(const std::string& tag)
{
    Tables tables = tablesOf(kTwo);
    tables.erase(tag);
    return sfnt(tables);
}

std::string changed(const Font& font, const std::string& tag, const std::function<void(std::string&)>& change)
{
    Tables tables = tablesOf(font);
    change(tables[tag]);
    return sfnt(tables);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, BrokenProgramTest,
    ::testing::Values(
        BrokenCase{"Empty", [] { return std::string(); }}, BrokenCase{"NoHead", [] { return without("head"); }},
        BrokenCase{"NoMaxp", [] { return without("maxp"); }}, BrokenCase{"NoHhea", [] { return without("hhea"); }},
        BrokenCase{"NoHmtx", [] { return without("hmtx"); }}, BrokenCase{"NoLoca", [] { return without("loca"); }},
        BrokenCase{"NoGlyf", [] { return without("glyf"); }},
        BrokenCase{"DirectoryCutShort", [] { return programOf(kTwo).substr(0, kRecordsAt + kRecordSize * 3); }},
        BrokenCase{"ProgramEndsInsideATable",
                   [] {
                       // maxp comes last; its six bytes are cut to four.
                       std::string program = programOf(kTwo);
                       return program.substr(0, program.size() - 4);
                   }},
        BrokenCase{"TableRunsPastTheEnd",
                   [] {
                       std::string program = programOf(kTwo);
                       return withTableLength(program, "glyf", static_cast<std::uint32_t>(program.size()));
                   }},
        BrokenCase{"TableLengthWrapsAround", [] { return withTableLength(programOf(kTwo), "hmtx", 0xFFFFFFFF); }},
        BrokenCase{"ShortLocaOneOffsetShort",
                   [] { return changed(kTwo, "loca", [](std::string& loca) { loca.resize(loca.size() - 2); }); }},
        BrokenCase{"LongLocaOneOffsetShort",
                   [] {
                       Font font = kTwo;
                       font.longOffsets = true;
                       return changed(font, "loca", [](std::string& loca) { loca.resize(loca.size() - 4); });
                   }},
        BrokenCase{"HeadSaysLongLocaHoldsShort",
                   [] {
                       return changed(kTwo, "head",
                                      [](std::string& head) { head.replace(kHeadLocaFormatAt, 2, bigEndian(1, 2)); });
                   }},
        BrokenCase{
            "MaxpCountsMoreGlyphsThanLocaHolds",
            [] { return changed(kTwo, "maxp", [](std::string& maxp) { maxp.replace(4, 2, bigEndian(3, 2)); }); }},
        BrokenCase{"NoMetrics",
                   [] {
                       return changed(kTwo, "hhea",
                                      [](std::string& hhea) { hhea.replace(kHheaSize - 2, 2, bigEndian(0, 2)); });
                   }},
        BrokenCase{"HmtxShorterThanItsMetrics",
                   [] { return changed(kTwo, "hmtx", [](std::string& hmtx) { hmtx.resize(hmtx.size() - 2); }); }},
        BrokenCase{"HeadWithoutTheLocaFormat",
                   [] { return changed(kTwo, "head", [](std::string& head) { head.resize(kHeadLocaFormatAt + 1); }); }},
        BrokenCase{"MaxpWithoutTheGlyphCount",
                   [] { return changed(kTwo, "maxp", [](std::string& maxp) { maxp.resize(5); }); }},
        BrokenCase{"HheaWithoutTheMetricCount",
                   [] { return changed(kTwo, "hhea", [](std::string& hhea) { hhea.resize(kHheaSize - 1); }); }}));

} // namespace
} // namespace zintrel
