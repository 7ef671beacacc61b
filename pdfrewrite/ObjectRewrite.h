#pragma once

#include "PdfTokens.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zintrel {

// How one object of a drawing changes on its way into the finished document.
struct ObjectRewrite {
    int offset = 0;                        // added to its own number and to every one it refers to
    std::set<std::string> dropped;         // keys of its outermost dictionary left out
    std::optional<std::size_t> dataLength; // a stream's /Length, set anew
    std::string added;                     // entries put first into its outermost dictionary
    // How a string goes out (encrypted, say); null: as it stands.
    std::function<std::string(const PdfToken&)> string;
};

// The object's text from "a b obj" up to its stream data or its end (tokens as
// tokenizeObject gives them), rewritten as how says. Throws UnreadableDrawing when the
// object does not start with its header.
std::string rewriteObject(const std::vector<PdfToken>& tokens, const ObjectRewrite& how);

} // namespace zintrel
