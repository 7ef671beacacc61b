#include "pdfrewrite/PdfTokens.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zintrel {
namespace {

using Texts = std::vector<std::string>;

// The raw text of every token that is neither space nor comment.
Texts solidRaws(const std::vector<PdfToken>& tokens)
{
    Texts raws;
    for (const PdfToken& token : tokens) {
        if (!token.ignorable())
            raws.push_back(token.raw);
    }
    return raws;
}

// The tokens from i on, put back together as they stood in the text.
std::string rawFrom(const std::vector<PdfToken>& tokens, std::size_t i)
{
    std::string text;
    for (; i < tokens.size(); ++i)
        text += tokens[i].raw;
    return text;
}

// The index of the solid token number n (from 0).
std::size_t solid(const std::vector<PdfToken>& tokens, int n)
{
    std::size_t i = nextSolid(tokens, 0);
    while (n-- > 0)
        i = nextSolid(tokens, i + 1);
    return i;
}

// The what() of the UnreadableDrawing that work throws; nullopt when it throws none.
std::optional<std::string> unreadableText(const std::function<void()>& work)
{
    try {
        work();
    } catch (const UnreadableDrawing& error) {
        return std::string(error.what());
    }
    return std::nullopt;
}

TEST(PdfTokens, TokenizeObjectStopsAfterStreamOrEndobj)
{
    struct Case {
        const char* what;
        std::string text;
        Texts solid;
        bool stream;
        std::string consumed; // the text the tokens cover
    } cases[] = {
        {"a stream: data starts right after the keyword",
         "4 0 obj\n<< /Length 3 >>\nstream\r\nabc\nendstream\nendobj\n",
         {"4", "0", "obj", "<<", "/Length", "3", ">>", "stream"},
         true,
         "4 0 obj\n<< /Length 3 >>\nstream"},
        {"a stream keyword at the very end",
         "1 0 obj<<>>stream",
         {"1", "0", "obj", "<<", ">>", "stream"},
         true,
         "1 0 obj<<>>stream"},
        {"endobj ends it; what follows is left alone",
         "5 0 obj\n[1 2]\nendobj\n6 0 obj 7 endobj",
         {"5", "0", "obj", "[", "1", "2", "]", "endobj"},
         false,
         "5 0 obj\n[1 2]\nendobj"},
        {"stream as a name, a string or in a comment is no keyword",
         "7 0 obj % stream\n<< /stream (stream) /S <73747265616d> >>\nendobj",
         {"7", "0", "obj", "<<", "/stream", "(stream)", "/S", "<73747265616d>", ">>", "endobj"},
         false,
         "7 0 obj % stream\n<< /stream (stream) /S <73747265616d> >>\nendobj"},
        {"endstream is not stream",
         "8 0 obj endstream endobj",
         {"8", "0", "obj", "endstream", "endobj"},
         false,
         "8 0 obj endstream endobj"},
        {"no end: everything", "9 0 obj 12", {"9", "0", "obj", "12"}, false, "9 0 obj 12"},
    };
    for (const Case& c : cases) {
        ObjectTokens object = tokenizeObject(c.text);
        EXPECT_EQ(solidRaws(object.tokens), c.solid) << c.what;
        EXPECT_EQ(object.dataStart, c.stream ? c.consumed.size() : 0) << c.what;
        EXPECT_EQ(rawFrom(object.tokens, 0), c.consumed) << c.what;
    }
}

TEST(PdfTokens, TokenizeAllReadsPastEndobjAndStream)
{
    const std::string text = "1 0 obj 2 endobj stream 3";
    std::vector<PdfToken> tokens = tokenizeAll(text);
    EXPECT_EQ(solidRaws(tokens), (Texts{"1", "0", "obj", "2", "endobj", "stream", "3"}));
    EXPECT_EQ(rawFrom(tokens, 0), text);
}

TEST(PdfTokens, TokenTypesAndValues)
{
    std::vector<PdfToken> tokens = tokenizeAll("12 -3.5 /A#20B (a\\)b) <414243> true null R << >> [ ] % note");
    struct Case {
        const char* what;
        int index; // among the solid tokens
        TokenType type;
        std::string value;
    } cases[] = {
        {"integer", 0, TokenType::Integer, "12"},
        {"real", 1, TokenType::Real, "-3.5"},
        {"name, its escapes undone", 2, TokenType::Name, "/A B"},
        {"literal string, its bytes", 3, TokenType::String, "a)b"},
        {"hexadecimal string, its bytes", 4, TokenType::String, "ABC"},
        {"true is a word", 5, TokenType::Word, "true"},
        {"null is a word", 6, TokenType::Word, "null"},
        {"R is a word", 7, TokenType::Word, "R"},
        {"dictionary open", 8, TokenType::DictOpen, "<<"},
        {"dictionary close", 9, TokenType::DictClose, ">>"},
        {"array open", 10, TokenType::ArrayOpen, "["},
        {"array close", 11, TokenType::ArrayClose, "]"},
    };
    for (const Case& c : cases) {
        std::size_t i = solid(tokens, c.index);
        ASSERT_LT(i, tokens.size()) << c.what;
        EXPECT_EQ(tokens[i].type, c.type) << c.what << ": " << tokens[i].raw;
        if (c.type == TokenType::Name || c.type == TokenType::String) {
            EXPECT_EQ(tokens[i].value, c.value) << c.what;
        } else {
            EXPECT_EQ(tokens[i].raw, c.value) << c.what;
        }
    }
    ASSERT_FALSE(tokens.empty());
    EXPECT_EQ(tokens.back().type, TokenType::Comment);
    EXPECT_EQ(nextSolid(tokens, solid(tokens, 11) + 1), tokens.size());
}

TEST(PdfTokens, TopLevelKeysAreThoseOfTheOutermostDictionary)
{
    struct Case {
        const char* what;
        std::string text;
        Texts keys;
    } cases[] = {
        {"a page",
         "3 0 obj\n<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> "
         "/MediaBox [0 0 612 792] /Contents 4 0 R >>\nendobj",
         {"/Type", "/Parent", "/Resources", "/MediaBox", "/Contents"}},
        {"names as values are not keys", "<< /A /B /C /D >>", {"/A", "/C"}},
        {"references as values", "<< /A 1 0 R /B 2 0 R /C 3 >>", {"/A", "/B", "/C"}},
        {"a reference whose numbers might pass for values", "<< /A 1 0 R /B /C >>", {"/A", "/B"}},
        {"nested dictionaries and arrays",
         "<< /Kids [<< /X 1 >> << /Y [/Z] >>] /D << /E << /F 1 >> >> /Count 2 >>",
         {"/Kids", "/D", "/Count"}},
        {"a dictionary value right before the close", "<< /A << /B 1 >> >>", {"/A"}},
        {"strings that look like names", "<< /A (/B) /C <2F44> >>", {"/A", "/C"}},
        {"comments between", "<< /A % /Z\n 1 /B 2 >>", {"/A", "/B"}},
        {"an empty dictionary", "<< >>", {}},
        {"an array object has no keys", "[ << /A 1 >> ]", {}},
        {"a stream's dictionary", "4 0 obj << /Length 10 /Filter /FlateDecode >> stream", {"/Length", "/Filter"}},
    };
    for (const Case& c : cases) {
        std::vector<PdfToken> tokens = tokenizeObject(c.text).tokens;
        Texts keys;
        for (std::size_t i : topLevelKeys(tokens)) {
            ASSERT_LT(i, tokens.size()) << c.what;
            EXPECT_EQ(tokens[i].type, TokenType::Name) << c.what;
            keys.push_back(tokens[i].raw);
        }
        EXPECT_EQ(keys, c.keys) << c.what;
    }
}

TEST(PdfTokens, ReferenceAt)
{
    struct Case {
        const char* what;
        std::string text;
        int at; // solid token
        bool found;
        ObjectId id;
        std::string rest; // the text after the reference
    } cases[] = {
        {"plain", "12 0 R", 0, true, {12, 0}, ""},
        {"followed by more", "12 3 R /Next", 0, true, {12, 3}, " /Next"},
        {"comments and line breaks within", "12 % note\n 3\r\nR]", 0, true, {12, 3}, "]"},
        {"the largest numbers", "2147483647 2147483647 R", 0, true, {2147483647, 2147483647}, ""},
        {"an object, not a reference", "12 0 obj", 0, false, {}, ""},
        {"a name in the middle", "12 /A R", 0, false, {}, ""},
        {"a real number", "1.5 0 R", 0, false, {}, ""},
        {"cut short", "12 0", 0, false, {}, ""},
        {"starting on the generation", "12 0 R", 1, false, {}, ""},
        {"starting on a name", "/A 12 0 R", 0, false, {}, ""},
        {"after a name", "/A 12 0 R", 1, true, {12, 0}, ""},
    };
    for (const Case& c : cases) {
        std::vector<PdfToken> tokens = tokenizeAll(c.text);
        ObjectId id{-1, -1};
        std::size_t end = 12345;
        bool found = referenceAt(tokens, solid(tokens, c.at), id, end);
        EXPECT_EQ(found, c.found) << c.what;
        if (found && c.found) {
            EXPECT_EQ(id, c.id) << c.what;
            EXPECT_EQ(rawFrom(tokens, end), c.rest) << c.what;
        }
    }
    std::vector<PdfToken> none;
    ObjectId id;
    std::size_t end = 0;
    EXPECT_FALSE(referenceAt(none, 0, id, end));
}

TEST(PdfTokens, ReferencesWithNumbersOutOfRangeAreUnreadable)
{
    for (const char* text : {"-1 0 R", "1 -1 R", "2147483648 0 R", "1 2147483648 R"}) {
        std::vector<PdfToken> tokens = tokenizeAll(text);
        ObjectId id;
        std::size_t end = 0;
        EXPECT_TRUE(unreadableText([&] { referenceAt(tokens, 0, id, end); })) << text;
    }
}

TEST(PdfTokens, ValueEnd)
{
    struct Case {
        const char* what;
        std::string text;
        std::string rest; // the text after the value that starts at the first solid token
    } cases[] = {
        {"a reference", "5 0 R /Next", " /Next"},
        {"a nested dictionary", "<< /A << /B [1 2] >> /C 3 >> /Next", " /Next"},
        {"an array with a dictionary inside", "[1 [2 3] << /A 4 >>] 9", " 9"},
        {"an integer that begins no reference", "1 2 3", " 2 3"},
        {"a name", "/Name 0 R", " 0 R"},
        {"a string holding brackets", "(a [ << b) ]", " ]"},
        {"a dictionary holding a string with a close", "<< /A (>>) >>x", "x"},
        {"the last value", "42", ""},
    };
    for (const Case& c : cases) {
        std::vector<PdfToken> tokens = tokenizeAll(c.text);
        std::size_t end = valueEnd(tokens, nextSolid(tokens, 0));
        ASSERT_LE(end, tokens.size()) << c.what;
        EXPECT_EQ(rawFrom(tokens, end), c.rest) << c.what;
    }
    for (const char* text : {"[1 2", "<< /A << /B 1 >>"}) {
        std::vector<PdfToken> tokens = tokenizeAll(text);
        EXPECT_EQ(unreadableText([&] { valueEnd(tokens, 0); }),
                  "The drawn PDF document could not be read back (unbalanced dictionary or array).")
            << text;
    }
}

TEST(PdfTokens, ParseInteger)
{
    struct Good {
        const char* text;
        std::int64_t value;
    } good[] = {
        {"0", 0},
        {"42", 42},
        {"-7", -7},
        {"+3", 3},
        {"007", 7},
        {"-0", 0},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
    };
    for (const Good& c : good) {
        std::optional<std::int64_t> value;
        std::optional<std::string> error = unreadableText([&] { value = parseInteger(c.text); });
        EXPECT_FALSE(error) << "\"" << c.text << "\": " << error.value_or("");
        EXPECT_EQ(value, c.value) << "\"" << c.text << "\"";
    }
    for (const char* text : {"", "+", "-", "1.5", "12ab", " 4", "4 ", "0x10", "99999999999999999999",
                             "9223372036854775808", "++1", "+-3"}) {
        EXPECT_EQ(unreadableText([&] { parseInteger(text); }),
                  "The drawn PDF document could not be read back (bad number " + std::string(text) + ").")
            << "\"" << text << "\"";
    }
}

TEST(PdfTokens, HexString)
{
    struct Case {
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"", "<>"},
        {"Hello", "<48656C6C6F>"},
        {std::string("\x00\xff\x0f\xf0", 4), "<00FF0FF0>"},
        {"()\\", "<28295C>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hexString(c.bytes), c.expected) << c.expected;

    // Every byte value reads back as itself.
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += static_cast<char>(byte);
    std::vector<PdfToken> tokens = tokenizeAll(hexString(all));
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].type, TokenType::String);
    EXPECT_EQ(tokens[0].value, all);
}

} // namespace
} // namespace zintrel
