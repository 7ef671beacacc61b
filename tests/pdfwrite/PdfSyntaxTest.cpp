// The pieces of PDF syntax, each checked as written and as a reader (libqpdf) takes it.

#include "pdfwrite/PdfSyntax.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

namespace zintrel {
namespace {

std::string hexOf(std::string_view bytes) { return hexString(bytes); }

std::string unitsOf(std::u16string_view text)
{
    std::string out;
    char buffer[8];
    for (char16_t unit : text) {
        std::snprintf(buffer, sizeof buffer, "%04X ", static_cast<unsigned>(unit));
        out += buffer;
    }
    return out;
}

struct NumberCase {
    const char* name;
    double value;
    int decimals;
    const char* text;
};

void PrintTo(const NumberCase& c, std::ostream* out) { *out << c.name; }

class PdfNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(PdfNumberTest, IsWrittenInTheClassicForm)
{
    const NumberCase& c = GetParam();
    EXPECT_EQ(pdfNumber(c.value, c.decimals), c.text);
    std::string appended = "x";
    appendPdfNumber(appended, c.value, c.decimals);
    EXPECT_EQ(appended, std::string("x") + c.text);
    // A reader takes the text for the value it stands for (libqpdf reads integers of 64
    // bits at most).
    if (std::abs(c.value) >= 9e18)
        return;
    QPDFObjectHandle parsed = QPDFObjectHandle::parse(c.text);
    ASSERT_TRUE(parsed.isNumber()) << c.text;
    const double scale = std::pow(10.0, c.decimals);
    EXPECT_NEAR(parsed.getNumericValue(), c.value, 0.5 / scale + std::abs(c.value) * 1e-15) << c.text;
}

// Where a case rounds a half, the half is exact in binary, so that the rounding is the one seen.
const NumberCase kValues[] = {
    NumberCase{"Zero", 0, 3, "0"},
    NumberCase{"NegativeZero", -0.0, 3, "0"},
    NumberCase{"Integer", 12, 3, "12"},
    NumberCase{"IntegerEndingInZeros", 1500, 3, "1500"},
    NumberCase{"NegativeInteger", -12, 3, "-12"},
    NumberCase{"Fraction", 556.152, 3, "556.152"},
    NumberCase{"NoLeadingZero", 0.502, 3, ".502"},
    NumberCase{"NegativeFraction", -0.25, 3, "-.25"},
    NumberCase{"TrailingZerosDropped", 12.5, 3, "12.5"},
    NumberCase{"ZerosInsideTheFraction", 1.05, 3, "1.05"},
    NumberCase{"LeadingZerosOfTheFraction", 0.001, 3, ".001"},
    NumberCase{"HalfRoundsAwayFromZero", 0.0625, 3, ".063"},
    NumberCase{"NegativeHalfRoundsAwayFromZero", -0.0625, 3, "-.063"},
    NumberCase{"RoundsUpToAWholeNumber", 2.9996, 3, "3"},
    NumberCase{"RoundsDownToAWholeNumber", -3.0001, 3, "-3"},
    NumberCase{"TooSmallIsZero", 0.0004, 3, "0"},
    NumberCase{"TooSmallNegativeIsZeroWithoutSign", -0.0004, 3, "0"},
    NumberCase{"TinyHasNoExponent", 1e-9, 3, "0"},
    NumberCase{"NoDecimals", 62.5, 0, "63"},
    NumberCase{"NoDecimalsNegativeSmall", -0.4, 0, "0"},
    NumberCase{"FiveDecimals", 1.0 / 8192, 5, ".00012"},
    NumberCase{"LargestPageSide", 14400, 3, "14400"},
    NumberCase{"BeyondThirtyTwoBits", -2147483648.5, 3, "-2147483648.5"},
    NumberCase{"LargeWithFraction", 1e15 + 0.125, 3, "1000000000000000.125"},
    NumberCase{"LargeHasNoExponent", 1e20, 3, "100000000000000000000"},
    NumberCase{"LargeNegativeHasNoExponent", -3e20, 3, "-300000000000000000000"},
};

INSTANTIATE_TEST_SUITE_P(Values, PdfNumberTest, ::testing::ValuesIn(kValues));

TEST(PdfSyntax, IntegersAppendAsTheyAre)
{
    for (const auto& [value, text] : std::initializer_list<std::pair<std::int64_t, const char*>>{
             {0, "0"},
             {-1, "-1"},
             {9223372036854775807, "9223372036854775807"},
             {-9223372036854775807 - 1, "-9223372036854775808"}}) {
        std::string out = "<";
        appendInteger(out, value);
        EXPECT_EQ(out, std::string("<") + text);
    }
}

struct BytesCase {
    const char* name;
    std::string bytes;
    std::string text;
};

void PrintTo(const BytesCase& c, std::ostream* out) { *out << c.name; }

class LiteralStringTest : public ::testing::TestWithParam<BytesCase> {};

TEST_P(LiteralStringTest, EscapesOnlyWhatMustBe)
{
    const BytesCase& c = GetParam();
    std::string out = "[";
    appendLiteralString(out, c.bytes);
    EXPECT_EQ(hexOf(out), hexOf("[" + c.text)) << out;
    QPDFObjectHandle parsed = QPDFObjectHandle::parse(out.substr(1));
    ASSERT_TRUE(parsed.isString());
    EXPECT_EQ(hexOf(parsed.getStringValue()), hexOf(c.bytes));
}

const BytesCase kBytes[] = {
    BytesCase{"Empty", "", "()"},
    BytesCase{"Plain", "Hello, world", "(Hello, world)"},
    BytesCase{"BalancedParentheses", "a(b)c", "(a\\(b\\)c)"},
    BytesCase{"UnbalancedParentheses", ")(", "(\\)\\()"},
    BytesCase{"Backslash", "a\\b\\", "(a\\\\b\\\\)"},
    // A reader would take a bare CR, or CR LF, for one line feed.
    BytesCase{"CarriageReturn", "a\rb\r\n", "(a\\rb\\r\n)"},
    BytesCase{"LineFeedAndTab", "\n\t", "(\n\t)"},
    BytesCase{"NulAndHighBytes", std::string("\0\x7F\x80\xFE\xFF", 5), std::string("(\0\x7F\x80\xFE\xFF)", 7)},
    BytesCase{"DelimitersOfOtherObjects", "<</[]>>%{}", "(<</[]>>%{})"},
};

INSTANTIATE_TEST_SUITE_P(Bytes, LiteralStringTest, ::testing::ValuesIn(kBytes));

TEST(PdfSyntax, HexStringsHoldEveryByte)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string text = hexString(all);
    EXPECT_EQ(text.substr(0, 9), "<00010203");
    EXPECT_EQ(text.substr(text.size() - 5), "FEFF>");
    QPDFObjectHandle parsed = QPDFObjectHandle::parse(text);
    ASSERT_TRUE(parsed.isString());
    EXPECT_EQ(parsed.getStringValue(), all);
    EXPECT_EQ(hexString(""), "<>");
}

class PdfNameTest : public ::testing::TestWithParam<BytesCase> {};

TEST_P(PdfNameTest, EscapesDelimitersBlanksAndHighBytes)
{
    const BytesCase& c = GetParam();
    EXPECT_EQ(pdfName(c.bytes), c.text);
    // A reader undoes the escapes; the name ends where it should, before the bracket.
    QPDFObjectHandle parsed = QPDFObjectHandle::parse("[" + pdfName(c.bytes) + "]");
    ASSERT_TRUE(parsed.isArray());
    ASSERT_EQ(parsed.getArrayNItems(), 1);
    ASSERT_TRUE(parsed.getArrayItem(0).isName());
    EXPECT_EQ(hexOf(parsed.getArrayItem(0).getName()), hexOf("/" + c.bytes));
}

const BytesCase kNames[] = {
    BytesCase{"Regular", "Type0", "/Type0"},
    BytesCase{"SignsThatAreRegular", "ABCDEF+Font-Bold_1.2", "/ABCDEF+Font-Bold_1.2"},
    BytesCase{"Blank", "Liberation Sans", "/Liberation#20Sans"},
    BytesCase{"TabAndLineEnds", "a\tb\nc\rd", "/a#09b#0Ac#0Dd"},
    BytesCase{"NumberSign", "a#b", "/a#23b"},
    BytesCase{"Delimiters", "()<>[]{}/%", "/#28#29#3C#3E#5B#5D#7B#7D#2F#25"},
    BytesCase{"Delete", "a\x7F", "/a#7F"},
    BytesCase{"BytesAboveTilde", "\xC3\xA9\xFF", "/#C3#A9#FF"},
    BytesCase{"Tilde", "~", "/~"},
};

INSTANTIATE_TEST_SUITE_P(Names, PdfNameTest, ::testing::ValuesIn(kNames));

struct Utf16Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

void PrintTo(const Utf16Case& c, std::ostream* out) { *out << c.name; }

class Utf16Test : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16Test, ConvertsWithOneReplacementForEachBadByte)
{
    const Utf16Case& c = GetParam();
    EXPECT_EQ(unitsOf(utf16(c.utf8)), unitsOf(c.utf16));
}

constexpr char16_t kBad = u'\uFFFD';

const Utf16Case kForms[] = {
    Utf16Case{"Empty", "", u""},
    Utf16Case{"Ascii", "Ab~", u"Ab~"},
    Utf16Case{"TwoBytes", "\xC3\xA9", u"\u00E9"},
    Utf16Case{"SmallestTwoBytes", "\xC2\x80", u"\u0080"},
    Utf16Case{"ThreeBytes", "\xE2\x82\xAC", u"\u20AC"},
    Utf16Case{"LastBeforeSurrogates", "\xED\x9F\xBF", u"\uD7FF"},
    Utf16Case{"FirstAfterSurrogates", "\xEE\x80\x80", u"\uE000"},
    Utf16Case{"AstralIsASurrogatePair", "\xF0\x9F\x98\x80", u"\U0001F600"},
    Utf16Case{"FirstAstral", "\xF0\x90\x80\x80", std::u16string{0xD800, 0xDC00}},
    Utf16Case{"LastCodePoint", "\xF4\x8F\xBF\xBF", std::u16string{0xDBFF, 0xDFFF}},
    Utf16Case{"LoneContinuation", "a\x80z", std::u16string{u'a', kBad, u'z'}},
    Utf16Case{"BytesNeverInUtf8", "\xFE\xFF", std::u16string{kBad, kBad}},
    Utf16Case{"OverlongTwoBytes", "\xC0\xAF\xC1\xBF", std::u16string(4, kBad)},
    Utf16Case{"OverlongThreeBytes", "\xE0\x80\xAF", std::u16string(3, kBad)},
    Utf16Case{"OverlongFourBytes", "\xF0\x8F\xBF\xBF", std::u16string(4, kBad)},
    Utf16Case{"EncodedSurrogate", "\xED\xA0\x80", std::u16string(3, kBad)},
    Utf16Case{"BeyondTheLastCodePoint", "\xF4\x90\x80\x80", std::u16string(4, kBad)},
    Utf16Case{"LeadByteBeyondF4", "\xF5\x80\x80\x80", std::u16string(4, kBad)},
    Utf16Case{"TruncatedAtTheEnd", "a\xE2\x82", std::u16string{u'a', kBad, kBad}},
    Utf16Case{"TruncatedBeforeAscii", "\xF0\x9F\x98z", std::u16string{kBad, kBad, kBad, u'z'}},
    Utf16Case{"LeadByteAlone", "\xC3", std::u16string{kBad}},
    Utf16Case{"TwoLeadBytes", "\xC3\xC3\xA9", std::u16string{kBad, u'\u00E9'}},
    Utf16Case{"ValidAfterInvalid", "\xFF\xE2\x82\xAC", std::u16string{kBad, u'\u20AC'}},
};

INSTANTIATE_TEST_SUITE_P(Forms, Utf16Test, ::testing::ValuesIn(kForms));

TEST(PdfSyntax, Utf16BytesAreBigEndian)
{
    EXPECT_EQ(hexOf(utf16BytesBE(u"A\u00E9\U0001F600")), "<004100E9D83DDE00>");
    EXPECT_EQ(utf16BytesBE(u""), "");
}

struct TextStringCase {
    const char* name;
    std::string utf8;
    std::string bytes;
    std::string readAs; // UTF-8, as a reader decodes the string
};

void PrintTo(const TextStringCase& c, std::ostream* out) { *out << c.name; }

class TextStringTest : public ::testing::TestWithParam<TextStringCase> {};

TEST_P(TextStringTest, IsAsciiOrUtf16)
{
    const TextStringCase& c = GetParam();
    EXPECT_EQ(hexOf(textStringBytes(c.utf8)), hexOf(c.bytes));
    EXPECT_EQ(QPDFObjectHandle::newString(textStringBytes(c.utf8)).getUTF8Value(), c.readAs);
}

const TextStringCase kTexts[] = {
    TextStringCase{"Empty", "", "", ""},
    TextStringCase{"PrintableAscii", "Zintrel (C:\\) ~", "Zintrel (C:\\) ~", "Zintrel (C:\\) ~"},
    TextStringCase{"Accent", "L\xC3\xA9", std::string("\xFE\xFF\0L\0\xE9", 6), "L\xC3\xA9"},
    TextStringCase{"Astral", "\xF0\x9F\x98\x80", std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6), "\xF0\x9F\x98\x80"},
    TextStringCase{"ControlCharacter", "a\tb", std::string("\xFE\xFF\0a\0\t\0b", 8), "a\tb"},
    TextStringCase{"Delete", "\x7F", std::string("\xFE\xFF\0\x7F", 4), "\x7F"},
    TextStringCase{"NoUtf8", "a\xFF", std::string("\xFE\xFF\0a\xFF\xFD", 6), "a\xEF\xBF\xBD"},
};

INSTANTIATE_TEST_SUITE_P(Texts, TextStringTest, ::testing::ValuesIn(kTexts));

} // namespace
} // namespace zintrel
