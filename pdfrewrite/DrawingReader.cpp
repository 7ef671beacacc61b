#include "DrawingReader.h"

#include "platform/FileDescriptor.h"
#include "platform/InputFile.h"
#include "platform/IoError.h"

#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFXRefEntry.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>

namespace zintrel {

namespace {

constexpr std::size_t kTailBytes = 1024; // where "startxref" is looked for

ObjectId idOf(const QPDFObjGen& objGen) { return ObjectId{objGen.getObj(), objGen.getGen()}; }

std::string readRange(const InputFile& drawing, std::uint64_t offset, std::uint64_t end)
{
    std::string text(static_cast<std::size_t>(end - offset), '\0');
    if (drawing.readAt(offset, text.data(), text.size()) != text.size())
        unreadable("it ends early");
    return text;
}

std::uint64_t crossReferenceOffset(const InputFile& drawing, std::uint64_t size)
{
    std::uint64_t from = size > kTailBytes ? size - kTailBytes : 0;
    std::string tail = readRange(drawing, from, size);
    std::size_t at = tail.rfind("startxref");
    if (at == std::string::npos)
        unreadable("no startxref");
    std::size_t start = tail.find_first_not_of(" \t\r\n", at + 9);
    std::size_t stop = tail.find_first_of(" \t\r\n%", start);
    if (start == std::string::npos)
        unreadable("no startxref");
    return static_cast<std::uint64_t>(parseInteger(std::string_view(tail).substr(start, stop - start)));
}

std::string flate(const std::string& in, Pl_Flate::action_e action)
{
    std::string out;
    Pl_String sink("flate", nullptr, out);
    Pl_Flate pipe("flate", &sink, action);
    pipe.write(reinterpret_cast<const unsigned char*>(in.data()), in.size());
    pipe.finish();
    return out;
}

} // namespace

std::string deflated(const std::string& data) { return flate(data, Pl_Flate::a_deflate); }

std::string inflated(const std::string& data) { return flate(data, Pl_Flate::a_inflate); }

DrawingReader::DrawingReader(const InputFile& drawing)
    : m_drawing(drawing)
{
    // QPDF reads through a stream of its own; the drawing's descriptor keeps its offset.
    FileDescriptor copy(::fcntl(drawing.fd(), F_DUPFD_CLOEXEC, 0));
    std::FILE* stream = copy ? ::fdopen(copy.get(), "rb") : nullptr;
    if (!stream)
        throw IoError(errno, drawing.displayPath());
    copy.release();
    QPDF source;
    try {
        source.processFile(drawing.displayPath().c_str(), stream, true);
        if (source.isEncrypted())
            unreadable("it is encrypted");
        QPDFObjectHandle trailer = source.getTrailer();
        QPDFObjectHandle root = trailer.getKey("/Root");
        if (!root.isIndirect())
            unreadable("no catalog");
        m_root = idOf(root.getObjGen());
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (info.isIndirect() && info.isDictionary()) {
            m_info = idOf(info.getObjGen());
            for (const std::string& key : info.getKeys()) {
                QPDFObjectHandle value = info.getKey(key);
                if (value.isString())
                    m_information[key] = value.getUTF8Value();
            }
        }
        for (const auto& [id, entry] : source.getXRefTable()) {
            if (entry.getType() == 2)
                unreadable("compressed objects");
            if (entry.getType() == 1)
                m_places.push_back(ObjectPlace{idOf(id), static_cast<std::uint64_t>(entry.getOffset()), 0});
            m_nextNumber = std::max(m_nextNumber, id.getObj() + 1);
        }
    } catch (const QPDFExc& error) {
        // No PDF at all, or one locked by a password: as unreadable as any other.
        unreadable(error.getMessageDetail());
    }
    std::sort(m_places.begin(), m_places.end(),
              [](const ObjectPlace& a, const ObjectPlace& b) { return a.offset < b.offset; });
    const std::uint64_t size = drawing.size();
    const std::uint64_t xref = crossReferenceOffset(drawing, size);
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        ObjectPlace& place = m_places[i];
        place.end = i + 1 < m_places.size() ? m_places[i + 1].offset : xref;
        if (place.end <= place.offset || place.end > size)
            unreadable("objects out of order");
        m_placeOf[place.id] = i;
    }
}

std::string DrawingReader::objectText(const ObjectPlace& place) const
{
    return readRange(m_drawing, place.offset, place.end);
}

std::optional<ObjectTokens> DrawingReader::objectTokens(const ObjectId& id) const
{
    auto found = m_placeOf.find(id);
    if (found == m_placeOf.end())
        return std::nullopt;
    return tokenizeObject(objectText(m_places[found->second]));
}

// The value of a small object holding one integer (a stream's length).
std::int64_t DrawingReader::integerObject(const ObjectId& id) const
{
    std::optional<ObjectTokens> parsed = objectTokens(id);
    if (!parsed)
        unreadable("missing length");
    const std::vector<PdfToken>& tokens = parsed->tokens;
    std::size_t i = nextSolid(tokens, 0);
    for (int skip = 0; skip < 3; ++skip) // "a b obj"
        i = nextSolid(tokens, i + 1);
    if (i >= tokens.size() || tokens[i].type != TokenType::Integer)
        unreadable("bad length");
    return parseInteger(tokens[i].raw);
}

std::string DrawingReader::storedData(const std::string& text, const ObjectTokens& parsed) const
{
    const std::vector<PdfToken>& tokens = parsed.tokens;
    std::optional<std::int64_t> length;
    for (std::size_t key : topLevelKeys(tokens)) {
        if (tokens[key].value != "/Length")
            continue;
        std::size_t value = nextSolid(tokens, key + 1);
        ObjectId lengthId;
        std::size_t end = 0;
        if (referenceAt(tokens, value, lengthId, end))
            length = integerObject(lengthId);
        else if (value < tokens.size() && tokens[value].type == TokenType::Integer)
            length = parseInteger(tokens[value].raw);
    }
    std::size_t start = parsed.dataStart;
    if (start < text.size() && text[start] == '\r')
        ++start;
    if (start < text.size() && text[start] == '\n')
        ++start;
    if (!length || *length < 0 || static_cast<std::uint64_t>(*length) > text.size() - start)
        unreadable("bad stream length");
    return text.substr(start, static_cast<std::size_t>(*length));
}

std::vector<ObjectId> DrawingReader::pages() const
{
    std::vector<ObjectId> pages;
    std::optional<ObjectTokens> catalog = objectTokens(m_root);
    std::optional<ObjectId> tree = catalog ? referenceValue(catalog->tokens, "/Pages") : std::nullopt;
    // Depth first through the page tree; QPdfWriter makes it one level deep.
    std::vector<ObjectId> pending;
    if (tree)
        pending.push_back(*tree);
    while (!pending.empty()) {
        ObjectId node = pending.back();
        pending.pop_back();
        std::optional<ObjectTokens> parsed = objectTokens(node);
        if (!parsed)
            unreadable("missing page");
        const std::vector<PdfToken>& tokens = parsed->tokens;
        std::optional<std::string> type = nameValue(tokens, "/Type");
        if (type == "/Page") {
            pages.push_back(node);
            continue;
        }
        std::vector<ObjectId> kids;
        for (std::size_t key : topLevelKeys(tokens)) {
            if (tokens[key].value != "/Kids")
                continue;
            std::size_t at = nextSolid(tokens, key + 1);
            std::size_t end = valueEnd(tokens, at);
            for (std::size_t i = at + 1; i < end;) {
                ObjectId kid;
                std::size_t after = 0;
                if (referenceAt(tokens, nextSolid(tokens, i), kid, after)) {
                    kids.push_back(kid);
                    i = after;
                } else {
                    ++i;
                }
            }
        }
        pending.insert(pending.end(), kids.rbegin(), kids.rend());
    }
    return pages;
}

std::optional<TrueTypeProgram> DrawingReader::embeddedProgram(const std::vector<PdfToken>& font) const
{
    std::optional<ObjectId> descendant = referenceValue(font, "/DescendantFonts");
    std::optional<ObjectTokens> cidFont = descendant ? objectTokens(*descendant) : std::nullopt;
    std::optional<ObjectId> descriptorId = cidFont ? referenceValue(cidFont->tokens, "/FontDescriptor") : std::nullopt;
    std::optional<ObjectTokens> descriptor = descriptorId ? objectTokens(*descriptorId) : std::nullopt;
    std::optional<ObjectId> programId = descriptor ? referenceValue(descriptor->tokens, "/FontFile2") : std::nullopt;
    auto place = programId ? m_placeOf.find(*programId) : m_placeOf.end();
    if (place == m_placeOf.end())
        return std::nullopt;
    std::string text = objectText(m_places[place->second]);
    ObjectTokens parsed = tokenizeObject(text);
    if (parsed.dataStart == 0)
        return std::nullopt;
    std::string program = storedData(text, parsed);
    return TrueTypeProgram::read(isFlate(parsed.tokens) ? inflated(program) : program);
}

std::optional<std::string> DrawingReader::nameValue(const std::vector<PdfToken>& tokens, std::string_view key)
{
    for (std::size_t at : topLevelKeys(tokens)) {
        std::size_t value = nextSolid(tokens, at + 1);
        if (tokens[at].value == key && value < tokens.size() && tokens[value].type == TokenType::Name)
            return tokens[value].value;
    }
    return std::nullopt;
}

std::optional<ObjectId> DrawingReader::referenceValue(const std::vector<PdfToken>& tokens, std::string_view key)
{
    for (std::size_t at : topLevelKeys(tokens)) {
        if (tokens[at].value != key)
            continue;
        std::size_t value = nextSolid(tokens, at + 1);
        if (value < tokens.size() && tokens[value].type == TokenType::ArrayOpen)
            value = nextSolid(tokens, value + 1);
        ObjectId id;
        std::size_t end = 0;
        if (referenceAt(tokens, value, id, end))
            return id;
    }
    return std::nullopt;
}

bool DrawingReader::isFlate(const std::vector<PdfToken>& tokens)
{
    return std::any_of(tokens.begin(), tokens.end(),
                       [](const PdfToken& t) { return t.type == TokenType::Name && t.value == "/FlateDecode"; });
}

} // namespace zintrel
