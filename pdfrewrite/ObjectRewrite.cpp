#include "ObjectRewrite.h"

namespace zintrel {

std::string rewriteObject(const std::vector<PdfToken>& tokens, const ObjectRewrite& how)
{
    const std::size_t number = nextSolid(tokens, 0);
    const std::size_t generation = nextSolid(tokens, number + 1);
    const std::size_t keyword = nextSolid(tokens, generation + 1);
    if (keyword >= tokens.size() || tokens[number].type != TokenType::Integer
        || tokens[generation].type != TokenType::Integer || !tokens[keyword].isWord("obj"))
        unreadable("an object without its header");
    std::string out
        = std::to_string(parseInteger(tokens[number].raw) + how.offset) + " " + tokens[generation].raw + " obj";

    const std::vector<std::size_t> keys = topLevelKeys(tokens);
    const std::set<std::size_t> keyStarts(keys.begin(), keys.end());
    // Only a dictionary that is the object itself takes the added entries, never one nested in an array.
    const std::size_t body = nextSolid(tokens, keyword + 1);
    for (std::size_t i = keyword + 1; i < tokens.size(); ++i) {
        const PdfToken& t = tokens[i];
        if (keyStarts.count(i)) {
            const bool isLength = how.dataLength && t.value == "/Length";
            if (isLength || how.dropped.count(t.value)) {
                if (isLength)
                    out += "/Length " + std::to_string(*how.dataLength);
                i = valueEnd(tokens, nextSolid(tokens, i + 1)) - 1;
                continue;
            }
        }
        ObjectId id;
        std::size_t end = 0;
        if (how.offset != 0 && t.type == TokenType::Integer && referenceAt(tokens, i, id, end)) {
            out += std::to_string(static_cast<std::int64_t>(id.number) + how.offset) + " "
                + std::to_string(id.generation) + " R";
            i = end - 1;
            continue;
        }
        out += t.type == TokenType::String && how.string ? how.string(t) : t.raw;
        if (i == body && t.type == TokenType::DictOpen)
            out += how.added;
    }
    return out;
}

} // namespace zintrel
