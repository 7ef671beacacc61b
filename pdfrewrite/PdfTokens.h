#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

// The drawn document does not read as the PDF it should be.
class UnreadableDrawing : public std::runtime_error {
public:
    explicit UnreadableDrawing(const std::string& what);
};

// Throws UnreadableDrawing; what says what was wrong.
[[noreturn]] void unreadable(const std::string& what);

enum class TokenType {
    Space,
    Comment,
    Integer,
    Real,
    Name,
    String,
    Word, // keywords and operators: obj, endobj, stream, R, true, null, ...
    DictOpen,
    DictClose,
    ArrayOpen,
    ArrayClose,
    Other,
};

struct PdfToken {
    TokenType type;
    std::string raw;   // as it stands in the file
    std::string value; // a name without escapes, a string's bytes
    bool ignorable() const { return type == TokenType::Space || type == TokenType::Comment; }
    bool isWord(std::string_view word) const { return type == TokenType::Word && raw == word; }
};

struct ObjectId {
    int number = 0;
    int generation = 0;
    bool operator==(const ObjectId&) const = default;
    auto operator<=>(const ObjectId&) const = default;
};

// The tokens of one object, "a b obj" up to and including "stream" or "endobj".
struct ObjectTokens {
    std::vector<PdfToken> tokens;
    std::size_t dataStart = 0; // where the stream keyword ends; 0: no stream
};

ObjectTokens tokenizeObject(const std::string& text);
// Every token of text, such as a dictionary on its own.
std::vector<PdfToken> tokenizeAll(const std::string& text);

// The index of the first token from i on that is not space or comment; tokens.size() if none.
std::size_t nextSolid(const std::vector<PdfToken>& tokens, std::size_t i);

// Whether "a b R" starts at the solid token i; then id is set and end is the index after R.
bool referenceAt(const std::vector<PdfToken>& tokens, std::size_t i, ObjectId& id, std::size_t& end);

// The index after the value that starts at the solid token i: a reference, a whole
// dictionary or array, or one simple token.
std::size_t valueEnd(const std::vector<PdfToken>& tokens, std::size_t i);

// For every key of the object's own (outermost) dictionary, the index of its name token.
std::vector<std::size_t> topLevelKeys(const std::vector<PdfToken>& tokens);

// The value of a PDF integer, in the classic form; anything else is unreadable.
std::int64_t parseInteger(std::string_view text);

// Bytes as a PDF hexadecimal string: <48656C6C6F>.
std::string hexString(std::string_view bytes);

} // namespace zintrel
