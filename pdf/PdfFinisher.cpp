#include "PdfFinisher.h"

#include "PdfEncryption.h"
#include "PdfTokens.h"
#include "ToUnicodeRepair.h"
#include "TrueTypeProgram.h"
#include "platform/FileDescriptor.h"
#include "platform/InputFile.h"
#include "platform/IoError.h"
#include "platform/OutputFile.h"

#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFXRefEntry.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace zintrel {

namespace {

constexpr std::size_t kTailBytes = 1024; // where "startxref" is looked for
// AES-256 needs PDF 1.7 with Adobe's extension level 8 (or PDF 2.0).
constexpr const char* kHeader = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
constexpr const char* kExtensions = " /Extensions << /ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >> >>";

std::string objectHeader(const ObjectId& id)
{
    return std::to_string(id.number) + " " + std::to_string(id.generation) + " obj\n";
}

std::string reference(const ObjectId& id)
{
    return std::to_string(id.number) + " " + std::to_string(id.generation) + " R";
}

ObjectId idOf(const QPDFObjGen& objGen) { return ObjectId{objGen.getObj(), objGen.getGen()}; }

// A range of the drawing that holds one object.
struct ObjectPlace {
    ObjectId id;
    std::uint64_t offset;
    std::uint64_t end;
};

// Where the drawing keeps its objects, from its cross-reference table; which are the
// catalog and the information.
struct DrawingStructure {
    std::vector<ObjectPlace> places; // in the order of the file
    std::map<ObjectId, std::size_t> placeOf;
    ObjectId root;
    std::optional<ObjectId> info;
    std::map<std::string, std::string> information; // what the drawing's own /Info says
    int nextNumber = 1;
};

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

DrawingStructure readStructure(const InputFile& drawing)
{
    DrawingStructure s;
    // QPDF reads through a stream of its own; the drawing's descriptor keeps its offset.
    FileDescriptor copy(::fcntl(drawing.fd(), F_DUPFD_CLOEXEC, 0));
    std::FILE* stream = copy ? ::fdopen(copy.get(), "rb") : nullptr;
    if (!stream)
        throw IoError(errno, drawing.displayPath());
    copy.release();
    QPDF source;
    source.processFile(drawing.displayPath().c_str(), stream, true);
    if (source.isEncrypted())
        unreadable("it is encrypted");
    QPDFObjectHandle trailer = source.getTrailer();
    QPDFObjectHandle root = trailer.getKey("/Root");
    if (!root.isIndirect())
        unreadable("no catalog");
    s.root = idOf(root.getObjGen());
    QPDFObjectHandle info = trailer.getKey("/Info");
    if (info.isIndirect() && info.isDictionary()) {
        s.info = idOf(info.getObjGen());
        for (const std::string& key : info.getKeys()) {
            QPDFObjectHandle value = info.getKey(key);
            if (value.isString())
                s.information[key] = value.getUTF8Value();
        }
    }
    for (const auto& [id, entry] : source.getXRefTable()) {
        if (entry.getType() == 2)
            unreadable("compressed objects");
        if (entry.getType() == 1)
            s.places.push_back(ObjectPlace{idOf(id), static_cast<std::uint64_t>(entry.getOffset()), 0});
        s.nextNumber = std::max(s.nextNumber, id.getObj() + 1);
    }
    std::sort(s.places.begin(), s.places.end(),
              [](const ObjectPlace& a, const ObjectPlace& b) { return a.offset < b.offset; });
    const std::uint64_t size = drawing.size();
    const std::uint64_t xref = crossReferenceOffset(drawing, size);
    for (std::size_t i = 0; i < s.places.size(); ++i) {
        ObjectPlace& place = s.places[i];
        place.end = i + 1 < s.places.size() ? s.places[i + 1].offset : xref;
        if (place.end <= place.offset || place.end > size)
            unreadable("objects out of order");
        s.placeOf[place.id] = i;
    }
    return s;
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

class Finisher {
public:
    Finisher(const InputFile& drawing, OutputFile& target, const PdfFinish& finish)
        : m_drawing(drawing)
        , m_target(target)
        , m_finish(finish)
    {
    }

    // The write order: header, the drawing's objects, the information, the encryption,
    // the cross-reference table. Whatever is added to the document (an outline, pages
    // drawn apart) takes its numbers after the drawing's and its place before the
    // information.
    void run()
    {
        m_structure = readStructure(m_drawing);
        m_nextNumber = m_structure.nextNumber;
        m_information = m_structure.information;
        for (const auto& [key, value] : m_finish.information)
            m_information[key] = value;
        collectReferences();
        if (m_finish.encrypt)
            m_encryption = std::make_unique<PdfEncryption>(m_finish.userPassword, m_finish.ownerPassword,
                                                           m_finish.permissions);

        m_target.write(kHeader);
        for (const ObjectPlace& place : m_structure.places) {
            if (m_skipped.count(place.id))
                continue;
            startObject(place.id);
            if (m_structure.info && place.id == *m_structure.info)
                writeInformation(place.id);
            else
                copyObject(place);
        }
        if (!m_structure.info) {
            m_structure.info = ObjectId{m_nextNumber++, 0};
            startObject(*m_structure.info);
            writeInformation(*m_structure.info);
        }
        if (m_encryption) {
            m_encryptId = ObjectId{m_nextNumber++, 0};
            startObject(m_encryptId);
            m_target.write(objectHeader(m_encryptId));
            m_target.write(m_encryption->dictionary());
            m_target.write("\nendobj\n");
        }
        writeCrossReference();
    }

private:
    std::string objectText(const ObjectPlace& place) const { return readRange(m_drawing, place.offset, place.end); }

    void startObject(const ObjectId& id) { m_newOffsets[id.number] = {m_target.offset(), id.generation}; }

    // The fonts' ToUnicode maps, and the XMP metadata, which would contradict the new
    // information, are found before anything is written.
    void collectReferences()
    {
        for (const ObjectPlace& place : m_structure.places) {
            std::vector<PdfToken> tokens = tokenizeObject(objectText(place)).tokens;
            for (std::size_t key : topLevelKeys(tokens)) {
                const std::string& name = tokens[key].value;
                ObjectId target;
                std::size_t end = 0;
                if (!referenceAt(tokens, nextSolid(tokens, key + 1), target, end))
                    continue;
                if (name == "/ToUnicode")
                    m_toUnicode.emplace(target, place.id);
                else if (name == "/Metadata" && place.id == m_structure.root)
                    m_skipped.insert(target);
            }
        }
    }

    std::string stringToken(const PdfToken& t)
    {
        return m_encryption ? hexString(m_encryption->encrypt(t.value)) : t.raw;
    }

    // The value of a small object holding one integer (a stream's length).
    std::int64_t integerObject(const ObjectId& id) const
    {
        auto found = m_structure.placeOf.find(id);
        if (found == m_structure.placeOf.end())
            unreadable("missing length");
        std::vector<PdfToken> tokens = tokenizeObject(objectText(m_structure.places[found->second])).tokens;
        std::size_t i = nextSolid(tokens, 0);
        for (int skip = 0; skip < 3; ++skip) // "a b obj"
            i = nextSolid(tokens, i + 1);
        if (i >= tokens.size() || tokens[i].type != TokenType::Integer)
            unreadable("bad length");
        return parseInteger(tokens[i].raw);
    }

    // The bytes of a stream as the drawing stores them.
    std::string storedData(const std::string& text, const ObjectTokens& parsed) const
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

    static bool isFlate(const std::vector<PdfToken>& tokens)
    {
        return std::any_of(tokens.begin(), tokens.end(), [](const PdfToken& t) {
            return t.type == TokenType::Name && t.value == "/FlateDecode";
        });
    }

    // The bytes of a stream as they go out: the ToUnicode maps repaired, everything
    // encrypted when the document is.
    std::string streamData(const ObjectPlace& place, const std::string& text, const ObjectTokens& parsed)
    {
        std::string data = storedData(text, parsed);
        auto font = m_toUnicode.find(place.id);
        if (font != m_toUnicode.end())
            data = repairedMap(data, isFlate(parsed.tokens), font->second);
        return m_encryption ? m_encryption->encrypt(data) : data;
    }

    // A ToUnicode map, inflated if need be, repaired and compressed again.
    std::string repairedMap(const std::string& data, bool compressed, const ObjectId& font) const
    {
        std::string map = compressed ? flate(data, Pl_Flate::a_inflate) : data;
        map = repairToUnicode(map, drawn());
        if (!m_finish.glyphCharacters.empty())
            map = completedMap(map, font);
        return compressed ? flate(map, Pl_Flate::a_deflate) : map;
    }

    std::function<bool(char32_t)> drawn() const
    {
        return m_finish.drawn ? m_finish.drawn : [](char32_t) { return false; };
    }

    // map with the glyphs that the font's embedded program draws for known characters.
    std::string completedMap(const std::string& map, const ObjectId& font) const
    {
        std::optional<ObjectTokens> dictionary = objectTokens(font);
        if (!dictionary)
            return map;
        std::optional<std::string> name = nameValue(dictionary->tokens, "/BaseFont");
        auto characters = name ? m_finish.glyphCharacters.find(*name) : m_finish.glyphCharacters.end();
        if (characters == m_finish.glyphCharacters.end())
            return map;
        std::optional<TrueTypeProgram> program = embeddedProgram(dictionary->tokens);
        if (!program)
            return map;
        auto characterOf = [&](unsigned code) -> std::optional<char32_t> {
            auto found = characters->second.find(program->signature(static_cast<int>(code)));
            if (found == characters->second.end())
                return std::nullopt;
            return found->second;
        };
        return completeToUnicode(map, static_cast<unsigned>(program->glyphCount()), characterOf, drawn());
    }

    // The TrueType program of a Type0 font: DescendantFonts, FontDescriptor, FontFile2.
    std::optional<TrueTypeProgram> embeddedProgram(const std::vector<PdfToken>& font) const
    {
        std::optional<ObjectId> descendant = referenceValue(font, "/DescendantFonts");
        std::optional<ObjectTokens> cidFont = descendant ? objectTokens(*descendant) : std::nullopt;
        std::optional<ObjectId> descriptorId = cidFont ? referenceValue(cidFont->tokens, "/FontDescriptor") : std::nullopt;
        std::optional<ObjectTokens> descriptor = descriptorId ? objectTokens(*descriptorId) : std::nullopt;
        std::optional<ObjectId> programId = descriptor ? referenceValue(descriptor->tokens, "/FontFile2") : std::nullopt;
        auto place = programId ? m_structure.placeOf.find(*programId) : m_structure.placeOf.end();
        if (place == m_structure.placeOf.end())
            return std::nullopt;
        std::string text = objectText(m_structure.places[place->second]);
        ObjectTokens parsed = tokenizeObject(text);
        if (parsed.dataStart == 0)
            return std::nullopt;
        std::string program = storedData(text, parsed);
        return TrueTypeProgram::read(isFlate(parsed.tokens) ? flate(program, Pl_Flate::a_inflate) : program);
    }

    std::optional<ObjectTokens> objectTokens(const ObjectId& id) const
    {
        auto found = m_structure.placeOf.find(id);
        if (found == m_structure.placeOf.end())
            return std::nullopt;
        return tokenizeObject(objectText(m_structure.places[found->second]));
    }

    // The name that key of the object's own dictionary has.
    static std::optional<std::string> nameValue(const std::vector<PdfToken>& tokens, std::string_view key)
    {
        for (std::size_t at : topLevelKeys(tokens)) {
            std::size_t value = nextSolid(tokens, at + 1);
            if (tokens[at].value == key && value < tokens.size() && tokens[value].type == TokenType::Name)
                return tokens[value].value;
        }
        return std::nullopt;
    }

    // The object that key of the object's own dictionary refers to, directly or as the
    // first item of an array.
    static std::optional<ObjectId> referenceValue(const std::vector<PdfToken>& tokens, std::string_view key)
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

    // The object's text up to its stream data or its end: strings encrypted, a stream's
    // /Length set to dataLength, and the catalog without its XMP metadata and with the
    // extension that AES-256 needs.
    std::string rewriteDictionary(const std::vector<PdfToken>& tokens, bool isCatalog,
                                  std::optional<std::size_t> dataLength)
    {
        std::vector<std::size_t> keys = topLevelKeys(tokens);
        std::set<std::size_t> keyStarts(keys.begin(), keys.end());
        std::string out;
        bool extensionsAdded = false;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const PdfToken& t = tokens[i];
            if (keyStarts.count(i)) {
                bool isLength = dataLength && t.value == "/Length";
                bool dropped = isCatalog && (t.value == "/Metadata" || t.value == "/Extensions");
                if (isLength || dropped) {
                    if (isLength)
                        out += "/Length " + std::to_string(*dataLength);
                    i = valueEnd(tokens, nextSolid(tokens, i + 1)) - 1;
                    continue;
                }
            }
            out += t.type == TokenType::String ? stringToken(t) : t.raw;
            if (isCatalog && m_encryption && !extensionsAdded && t.type == TokenType::DictOpen) {
                out += kExtensions;
                extensionsAdded = true;
            }
        }
        return out;
    }

    void copyObject(const ObjectPlace& place)
    {
        std::string text = objectText(place);
        ObjectTokens parsed = tokenizeObject(text);
        const bool isStream = parsed.dataStart != 0;
        std::string data;
        if (isStream)
            data = streamData(place, text, parsed);
        m_target.write(rewriteDictionary(parsed.tokens, place.id == m_structure.root,
                                         isStream ? std::optional<std::size_t>(data.size()) : std::nullopt));
        if (isStream) {
            m_target.write("\n");
            m_target.write(data);
            m_target.write("\nendstream\nendobj\n");
        } else {
            m_target.write("\n");
        }
    }

    void writeInformation(const ObjectId& id)
    {
        QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
        for (const auto& [key, value] : m_information)
            dictionary.replaceKey(key, QPDFObjectHandle::newUnicodeString(value));
        std::string out = objectHeader(id);
        for (const PdfToken& t : tokenizeAll(dictionary.unparse()))
            out += t.type == TokenType::String ? stringToken(t) : t.raw;
        m_target.write(out);
        m_target.write("\nendobj\n");
    }

    void writeCrossReference()
    {
        const std::uint64_t xref = m_target.offset();
        const int size = m_nextNumber;
        std::string out = "xref\n0 " + std::to_string(size) + "\n0000000000 65535 f \n";
        char line[32];
        for (int number = 1; number < size; ++number) {
            auto found = m_newOffsets.find(number);
            if (found == m_newOffsets.end())
                std::snprintf(line, sizeof line, "0000000000 00001 f \n");
            else
                std::snprintf(line, sizeof line, "%010llu %05d n \n",
                              static_cast<unsigned long long>(found->second.first), found->second.second);
            out += line;
        }
        out += "trailer\n<< /Size " + std::to_string(size) + " /Root " + reference(m_structure.root) + " /Info "
               + reference(*m_structure.info);
        if (m_encryption) {
            const std::string id = hexString(m_encryption->documentId());
            out += " /Encrypt " + reference(m_encryptId) + " /ID [" + id + id + "]";
        }
        out += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        m_target.write(out);
    }

    const InputFile& m_drawing;
    OutputFile& m_target;
    const PdfFinish& m_finish;
    DrawingStructure m_structure;
    std::unique_ptr<PdfEncryption> m_encryption;
    std::map<ObjectId, ObjectId> m_toUnicode; // each ToUnicode map: the font that has it
    std::set<ObjectId> m_skipped;
    std::map<int, std::pair<std::uint64_t, int>> m_newOffsets; // number: offset, generation
    ObjectId m_encryptId;
    std::map<std::string, std::string> m_information; // UTF-8
    int m_nextNumber = 1;
};

} // namespace

void finishPdf(const InputFile& drawing, OutputFile& target, const PdfFinish& finish)
{
    Finisher(drawing, target, finish).run();
}

} // namespace zintrel
