#include "PdfFinisher.h"

#include "DrawingReader.h"
#include "PdfEncryption.h"
#include "PdfOutline.h"
#include "PdfTokens.h"
#include "ToUnicodeRepair.h"
#include "listing/SaveCancelled.h"
#include "platform/OutputFile.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace zintrel {

namespace {

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
        m_nextNumber = m_drawing.nextNumber();
        m_information = m_drawing.information();
        for (const auto& [key, value] : m_finish.information)
            m_information[key] = value;
        collectReferences();
        if (m_finish.encrypt)
            m_encryption = std::make_unique<PdfEncryption>(m_finish.userPassword, m_finish.ownerPassword,
                                                           m_finish.permissions);

        if (!m_finish.outline.empty()) {
            m_pages = m_drawing.pages();
            m_outlineId = ObjectId{m_nextNumber, 0};
            m_nextNumber += 1 + static_cast<int>(m_finish.outline.size());
        }

        m_target.write(kHeader);
        m_infoId = m_drawing.info();
        for (const ObjectPlace& place : m_drawing.places()) {
            if (m_finish.cancel && m_finish.cancel->load(std::memory_order_relaxed))
                throw SaveCancelled{};
            if (m_skipped.count(place.id))
                continue;
            startObject(place.id);
            if (m_infoId && place.id == *m_infoId)
                writeInformation(place.id);
            else
                copyObject(place);
        }
        if (m_outlineId)
            writeOutline();
        if (!m_infoId) {
            m_infoId = ObjectId{m_nextNumber++, 0};
            startObject(*m_infoId);
            writeInformation(*m_infoId);
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
    void startObject(const ObjectId& id) { m_newOffsets[id.number] = {m_target.offset(), id.generation}; }

    // A string of the document's own as it goes out: encrypted when the document is.
    std::string encodeString(std::string_view bytes)
    {
        return hexString(m_encryption ? m_encryption->encrypt(bytes) : std::string(bytes));
    }

    void writeOutline()
    {
        std::vector<std::string> objects = outlineObjects(m_finish.outline, m_outlineId->number, m_pages,
                                                          [this](std::string_view bytes) { return encodeString(bytes); });
        for (std::size_t i = 0; i < objects.size(); ++i) {
            startObject(ObjectId{m_outlineId->number + static_cast<int>(i), 0});
            m_target.write(objects[i]);
        }
    }

    // The fonts' ToUnicode maps, and the XMP metadata, which would contradict the new
    // information, are found before anything is written.
    void collectReferences()
    {
        for (const ObjectPlace& place : m_drawing.places()) {
            std::vector<PdfToken> tokens = tokenizeObject(m_drawing.objectText(place)).tokens;
            for (std::size_t key : topLevelKeys(tokens)) {
                const std::string& name = tokens[key].value;
                ObjectId target;
                std::size_t end = 0;
                if (!referenceAt(tokens, nextSolid(tokens, key + 1), target, end))
                    continue;
                if (name == "/ToUnicode")
                    m_toUnicode.emplace(target, place.id);
                else if (name == "/Metadata" && place.id == m_drawing.root())
                    m_skipped.insert(target);
            }
        }
    }

    std::string stringToken(const PdfToken& t)
    {
        return m_encryption ? hexString(m_encryption->encrypt(t.value)) : t.raw;
    }

    // The bytes of a stream as they go out: the ToUnicode maps repaired, everything
    // encrypted when the document is.
    std::string streamData(const ObjectPlace& place, const std::string& text, const ObjectTokens& parsed)
    {
        std::string data = m_drawing.storedData(text, parsed);
        auto font = m_toUnicode.find(place.id);
        if (font != m_toUnicode.end())
            data = repairedMap(data, DrawingReader::isFlate(parsed.tokens), font->second);
        return m_encryption ? m_encryption->encrypt(data) : data;
    }

    // A ToUnicode map, inflated if need be, repaired and compressed again.
    std::string repairedMap(const std::string& data, bool compressed, const ObjectId& font) const
    {
        std::string map = compressed ? inflated(data) : data;
        map = repairToUnicode(map, drawn());
        if (!m_finish.glyphCharacters.empty())
            map = completedMap(map, font);
        return compressed ? deflated(map) : map;
    }

    std::function<bool(char32_t)> drawn() const
    {
        return m_finish.drawn ? m_finish.drawn : [](char32_t) { return false; };
    }

    // map with the glyphs that the font's embedded program draws for known characters.
    std::string completedMap(const std::string& map, const ObjectId& font) const
    {
        std::optional<ObjectTokens> dictionary = m_drawing.objectTokens(font);
        if (!dictionary)
            return map;
        std::optional<std::string> name = DrawingReader::nameValue(dictionary->tokens, "/BaseFont");
        auto characters = name ? m_finish.glyphCharacters.find(*name) : m_finish.glyphCharacters.end();
        if (characters == m_finish.glyphCharacters.end())
            return map;
        std::optional<TrueTypeProgram> program = m_drawing.embeddedProgram(dictionary->tokens);
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
                bool dropped = isCatalog
                               && (t.value == "/Metadata" || t.value == "/Extensions"
                                   || (m_outlineId && (t.value == "/Outlines" || t.value == "/PageMode")));
                if (isLength || dropped) {
                    if (isLength)
                        out += "/Length " + std::to_string(*dataLength);
                    i = valueEnd(tokens, nextSolid(tokens, i + 1)) - 1;
                    continue;
                }
            }
            out += t.type == TokenType::String ? stringToken(t) : t.raw;
            if (isCatalog && !extensionsAdded && t.type == TokenType::DictOpen) {
                if (m_encryption)
                    out += kExtensions;
                // The outline shows in the reader's side panel as the document opens.
                if (m_outlineId)
                    out += " /Outlines " + std::to_string(m_outlineId->number) + " 0 R /PageMode /UseOutlines";
                extensionsAdded = true;
            }
        }
        return out;
    }

    void copyObject(const ObjectPlace& place)
    {
        std::string text = m_drawing.objectText(place);
        ObjectTokens parsed = tokenizeObject(text);
        const bool isStream = parsed.dataStart != 0;
        std::string data;
        if (isStream)
            data = streamData(place, text, parsed);
        m_target.write(rewriteDictionary(parsed.tokens, place.id == m_drawing.root(),
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
        out += "trailer\n<< /Size " + std::to_string(size) + " /Root " + reference(m_drawing.root()) + " /Info "
               + reference(*m_infoId);
        if (m_encryption) {
            const std::string id = hexString(m_encryption->documentId());
            out += " /Encrypt " + reference(m_encryptId) + " /ID [" + id + id + "]";
        }
        out += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        m_target.write(out);
    }

    DrawingReader m_drawing;
    OutputFile& m_target;
    const PdfFinish& m_finish;
    std::optional<ObjectId> m_infoId;
    std::optional<ObjectId> m_outlineId; // the outline's root; its items are numbered on from it
    std::vector<ObjectId> m_pages;
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
