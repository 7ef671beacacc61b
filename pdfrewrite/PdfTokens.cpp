#include "PdfTokens.h"

#include <qpdf/BufferInputSource.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <charconv>
#include <memory>

namespace zintrel {

namespace {

TokenType typeOf(QPDFTokenizer::token_type_e type)
{
    switch (type) {
    case QPDFTokenizer::tt_space:
        return TokenType::Space;
    case QPDFTokenizer::tt_comment:
        return TokenType::Comment;
    case QPDFTokenizer::tt_integer:
        return TokenType::Integer;
    case QPDFTokenizer::tt_real:
        return TokenType::Real;
    case QPDFTokenizer::tt_name:
        return TokenType::Name;
    case QPDFTokenizer::tt_string:
        return TokenType::String;
    case QPDFTokenizer::tt_word:
    case QPDFTokenizer::tt_bool:
    case QPDFTokenizer::tt_null:
        return TokenType::Word;
    case QPDFTokenizer::tt_dict_open:
        return TokenType::DictOpen;
    case QPDFTokenizer::tt_dict_close:
        return TokenType::DictClose;
    case QPDFTokenizer::tt_array_open:
        return TokenType::ArrayOpen;
    case QPDFTokenizer::tt_array_close:
        return TokenType::ArrayClose;
    default:
        return TokenType::Other;
    }
}

bool opens(TokenType type) { return type == TokenType::DictOpen || type == TokenType::ArrayOpen; }
bool closes(TokenType type) { return type == TokenType::DictClose || type == TokenType::ArrayClose; }

ObjectTokens tokenize(const std::string& text, bool wholeText)
{
    ObjectTokens result;
    auto input = std::make_shared<BufferInputSource>("drawn object", text);
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    tokenizer.includeIgnorable();
    for (;;) {
        QPDFTokenizer::Token t = tokenizer.readToken(input, "drawn object", true);
        if (t.getType() == QPDFTokenizer::tt_eof)
            break;
        if (t.getType() == QPDFTokenizer::tt_bad)
            unreadable("bad token " + t.getRawValue());
        result.tokens.push_back(PdfToken{typeOf(t.getType()), t.getRawValue(), t.getValue()});
        const PdfToken& last = result.tokens.back();
        if (!wholeText && last.isWord("stream")) {
            result.dataStart = static_cast<std::size_t>(input->tell());
            break;
        }
        if (!wholeText && last.isWord("endobj"))
            break;
    }
    return result;
}

} // namespace

UnreadableDrawing::UnreadableDrawing(const std::string& what)
    : std::runtime_error("The drawn PDF document could not be read back (" + what + ").")
{
}

void unreadable(const std::string& what) { throw UnreadableDrawing(what); }

ObjectTokens tokenizeObject(const std::string& text) { return tokenize(text, false); }

std::vector<PdfToken> tokenizeAll(const std::string& text) { return tokenize(text, true).tokens; }

std::size_t nextSolid(const std::vector<PdfToken>& tokens, std::size_t i)
{
    while (i < tokens.size() && tokens[i].ignorable())
        ++i;
    return i;
}

bool referenceAt(const std::vector<PdfToken>& tokens, std::size_t i, ObjectId& id, std::size_t& end)
{
    if (i >= tokens.size() || tokens[i].type != TokenType::Integer)
        return false;
    std::size_t second = nextSolid(tokens, i + 1);
    if (second >= tokens.size() || tokens[second].type != TokenType::Integer)
        return false;
    std::size_t r = nextSolid(tokens, second + 1);
    if (r >= tokens.size() || !tokens[r].isWord("R"))
        return false;
    std::int64_t number = parseInteger(tokens[i].raw);
    std::int64_t generation = parseInteger(tokens[second].raw);
    if (number < 0 || number > INT32_MAX || generation < 0 || generation > INT32_MAX)
        unreadable("bad reference " + tokens[i].raw + " " + tokens[second].raw + " R");
    id = ObjectId{static_cast<int>(number), static_cast<int>(generation)};
    end = r + 1;
    return true;
}

std::size_t valueEnd(const std::vector<PdfToken>& tokens, std::size_t i)
{
    if (i >= tokens.size())
        unreadable("a key without a value");
    ObjectId ignored;
    std::size_t end = 0;
    if (referenceAt(tokens, i, ignored, end))
        return end;
    if (!opens(tokens[i].type))
        return i + 1;
    int depth = 0;
    for (std::size_t at = i; at < tokens.size(); ++at) {
        if (opens(tokens[at].type))
            ++depth;
        else if (closes(tokens[at].type) && --depth == 0)
            return at + 1;
    }
    unreadable("unbalanced dictionary or array");
}

std::vector<std::size_t> topLevelKeys(const std::vector<PdfToken>& tokens)
{
    std::vector<std::size_t> keys;
    std::vector<bool> containers; // true: a dictionary
    bool expectKey = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const PdfToken& t = tokens[i];
        if (t.ignorable())
            continue;
        if (opens(t.type) || closes(t.type)) {
            if (opens(t.type))
                containers.push_back(t.type == TokenType::DictOpen);
            else if (!containers.empty())
                containers.pop_back();
            // Inside the outermost dictionary a key comes next: after its opening, and
            // after a dictionary or array that was a value.
            expectKey = containers.size() == 1 && containers[0];
            continue;
        }
        if (containers.size() != 1 || !containers[0])
            continue;
        if (expectKey && t.type == TokenType::Name) {
            keys.push_back(i);
            expectKey = false;
        } else if (!expectKey) {
            // A simple value, or a reference "a b R" as one.
            ObjectId ignored;
            std::size_t end = 0;
            if (referenceAt(tokens, i, ignored, end))
                i = end - 1;
            expectKey = true;
        }
    }
    return keys;
}

std::int64_t parseInteger(std::string_view text)
{
    std::string_view digits = text;
    if (digits.size() > 1 && digits.front() == '+' && digits[1] != '-')
        digits.remove_prefix(1);
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        unreadable("bad number " + std::string(text));
    return value;
}

std::string hexString(std::string_view bytes)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2 + 2);
    out += '<';
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0xF];
    }
    out += '>';
    return out;
}

} // namespace zintrel
