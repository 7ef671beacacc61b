#include "PdfFinisher.h"

#include "DrawingReader.h"
#include "ObjectRewrite.h"
#include "PdfEncryption.h"
#include "PdfOutline.h"
#include "PdfTokens.h"
#include "ToUnicodeRepair.h"
#include "platform/CancelToken.h"
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

// One drawing of the document: its reader, and how far its object numbers move to stay
// clear of the drawings before it.
struct Source {
    explicit Source(const InputFile& file)
        : reader(file)
    {
    }
    DrawingReader reader;
    int offset = 0;
    ObjectId pagesRoot; // its own page tree, as the drawing numbers it
    std::size_t pageCount = 0;
};

class Finisher {
public:
    Finisher(const std::vector<const InputFile*>& drawings, OutputFile& target, const PdfFinish& finish,
             const CancelToken& cancel)
        : m_target(target)
        , m_finish(finish)
        , m_cancel(cancel)
    {
        if (drawings.empty())
            unreadable("no drawing");
        int next = 0;
        for (const InputFile* drawing : drawings) {
            Source& source = *m_sources.emplace_back(std::make_unique<Source>(*drawing));
            source.offset = next;
            next += source.reader.nextNumber() - 1;
        }
        m_nextNumber = next + 1;
    }

    // The write order: header, the drawings' objects, the pages they share, the outline,
    // the information, the encryption, the cross-reference table. The first drawing's
    // catalog stands for the document; every further drawing's objects are numbered on
    // after the one before, and its pages follow.
    void run()
    {
        m_information = first().reader.information();
        for (const auto& [key, value] : m_finish.information)
            m_information[key] = value;
        for (std::size_t k = 0; k < m_sources.size(); ++k)
            collectReferences(k);
        if (m_finish.encrypt)
            m_encryption
                = std::make_unique<PdfEncryption>(m_finish.userPassword, m_finish.ownerPassword, m_finish.permissions);
        const bool joined = m_sources.size() > 1;
        if (joined)
            m_topPages = ObjectId{m_nextNumber++, 0};
        if (joined || !m_finish.outline.empty()) {
            for (auto& source : m_sources) {
                std::vector<ObjectId> pages = source->reader.pages();
                source->pageCount = pages.size();
                for (const ObjectId& page : pages)
                    m_pages.push_back(global(*source, page));
            }
        }
        if (!m_finish.outline.empty()) {
            m_outlineId = ObjectId{m_nextNumber, 0};
            m_nextNumber += 1 + static_cast<int>(m_finish.outline.size());
        }

        m_target.write(kHeader);
        m_infoId = first().reader.info();
        for (std::size_t k = 0; k < m_sources.size(); ++k)
            copyDrawing(k);
        if (m_topPages)
            writeTopPages();
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
    Source& first() { return *m_sources.front(); }
    static ObjectId global(const Source& source, const ObjectId& id)
    {
        return ObjectId{id.number + source.offset, id.generation};
    }

    void copyDrawing(std::size_t k)
    {
        Source& source = *m_sources[k];
        const DrawingReader& reader = source.reader;
        for (const ObjectPlace& place : reader.places()) {
            m_cancel.check();
            const ObjectId id = global(source, place.id);
            if (m_skipped.count(id))
                continue;
            if (k > 0 && (place.id == reader.root() || place.id == reader.info()))
                continue; // the first drawing's catalog and information stand for all
            startObject(id);
            if (k == 0 && m_infoId && place.id == *m_infoId)
                writeInformation(id);
            else
                copyObject(source, place);
        }
    }

    void startObject(const ObjectId& id) { m_newOffsets[id.number] = {m_target.offset(), id.generation}; }

    // A string of the document's own as it goes out: encrypted when the document is.
    std::string encodeString(std::string_view bytes)
    {
        return hexString(m_encryption ? m_encryption->encrypt(bytes) : std::string(bytes));
    }

    // The page tree above the drawings' own, which keep their pages and their order.
    void writeTopPages()
    {
        startObject(*m_topPages);
        std::string out = objectHeader(*m_topPages) + "<< /Type /Pages /Kids [";
        for (const auto& source : m_sources)
            out += reference(global(*source, source->pagesRoot)) + " ";
        out += "] /Count " + std::to_string(m_pages.size()) + " >>\nendobj\n";
        m_target.write(out);
    }

    void writeOutline()
    {
        std::vector<std::string> objects
            = outlineObjects(m_finish.outline, m_outlineId->number, m_pages,
                             [this](std::string_view bytes) { return encodeString(bytes); });
        for (std::size_t i = 0; i < objects.size(); ++i) {
            startObject(ObjectId{m_outlineId->number + static_cast<int>(i), 0});
            m_target.write(objects[i]);
        }
    }

    // The fonts' ToUnicode maps, the page tree, and the XMP metadata, which would
    // contradict the new information, are found before anything is written.
    void collectReferences(std::size_t k)
    {
        Source& source = *m_sources[k];
        const DrawingReader& reader = source.reader;
        for (const ObjectPlace& place : reader.places()) {
            std::vector<PdfToken> tokens = tokenizeObject(reader.objectText(place)).tokens;
            for (std::size_t key : topLevelKeys(tokens)) {
                const std::string& name = tokens[key].value;
                ObjectId target;
                std::size_t end = 0;
                if (!referenceAt(tokens, nextSolid(tokens, key + 1), target, end))
                    continue;
                if (name == "/ToUnicode")
                    m_toUnicode.emplace(global(source, target), FontOf{k, place.id});
                else if (name == "/Metadata" && place.id == reader.root())
                    m_skipped.insert(global(source, target));
                else if (name == "/Pages" && place.id == reader.root())
                    source.pagesRoot = target;
            }
        }
    }

    std::string stringToken(const PdfToken& t)
    {
        return m_encryption ? hexString(m_encryption->encrypt(t.value)) : t.raw;
    }

    // The bytes of a stream as they go out: the ToUnicode maps repaired, everything
    // encrypted when the document is.
    std::string streamData(const Source& source, const ObjectPlace& place, const std::string& text,
                           const ObjectTokens& parsed)
    {
        std::string data = source.reader.storedData(text, parsed);
        auto font = m_toUnicode.find(global(source, place.id));
        if (font != m_toUnicode.end())
            data = repairedMap(data, DrawingReader::isFlate(parsed.tokens), font->second);
        return m_encryption ? m_encryption->encrypt(data) : data;
    }

    // The font a ToUnicode map belongs to: its drawing, and its number there.
    struct FontOf {
        std::size_t drawing;
        ObjectId font;
    };

    // A ToUnicode map, inflated if need be, repaired and compressed again.
    std::string repairedMap(const std::string& data, bool compressed, const FontOf& font) const
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
    std::string completedMap(const std::string& map, const FontOf& font) const
    {
        const DrawingReader& reader = m_sources[font.drawing]->reader;
        std::optional<ObjectTokens> dictionary = reader.objectTokens(font.font);
        if (!dictionary)
            return map;
        std::optional<std::string> name = DrawingReader::nameValue(dictionary->tokens, "/BaseFont");
        auto characters = name ? m_finish.glyphCharacters.find(*name) : m_finish.glyphCharacters.end();
        if (characters == m_finish.glyphCharacters.end())
            return map;
        std::optional<TrueTypeProgram> program = reader.embeddedProgram(dictionary->tokens);
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

    // What the object gets besides its numbers moved and its strings encrypted: the
    // catalog loses its XMP metadata and gains the extension that AES-256 needs, the
    // outline and the shared page tree; a drawing's own page tree hangs from the shared one.
    ObjectRewrite rewriteFor(const Source& source, const ObjectPlace& place)
    {
        ObjectRewrite how;
        how.offset = source.offset;
        if (m_encryption)
            how.string = [this](const PdfToken& t) { return stringToken(t); };
        if (&source == m_sources.front().get() && place.id == source.reader.root()) {
            how.dropped = {"/Metadata", "/Extensions"};
            if (m_encryption)
                how.added += kExtensions;
            if (m_outlineId) {
                how.dropped.insert({"/Outlines", "/PageMode"});
                // The outline shows in the reader's side panel as the document opens.
                how.added += " /Outlines " + reference(*m_outlineId) + " /PageMode /UseOutlines";
            }
            if (m_topPages) {
                how.dropped.insert("/Pages");
                how.added += " /Pages " + reference(*m_topPages);
            }
        }
        if (m_topPages && place.id == source.pagesRoot) {
            how.dropped.insert("/Parent");
            how.added += " /Parent " + reference(*m_topPages);
        }
        return how;
    }

    void copyObject(const Source& source, const ObjectPlace& place)
    {
        std::string text = source.reader.objectText(place);
        ObjectTokens parsed = tokenizeObject(text);
        const bool isStream = parsed.dataStart != 0;
        std::string data;
        if (isStream)
            data = streamData(source, place, text, parsed);
        ObjectRewrite how = rewriteFor(source, place);
        if (isStream)
            how.dataLength = data.size();
        m_target.write(rewriteObject(parsed.tokens, how));
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
        out += "trailer\n<< /Size " + std::to_string(size) + " /Root " + reference(first().reader.root()) + " /Info "
            + reference(*m_infoId);
        if (m_encryption) {
            const std::string id = hexString(m_encryption->documentId());
            out += " /Encrypt " + reference(m_encryptId) + " /ID [" + id + id + "]";
        }
        out += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        m_target.write(out);
    }

    std::vector<std::unique_ptr<Source>> m_sources;
    OutputFile& m_target;
    const PdfFinish& m_finish;
    const CancelToken& m_cancel;
    std::optional<ObjectId> m_infoId;
    std::optional<ObjectId> m_outlineId; // the outline's root; its items are numbered on from it
    std::optional<ObjectId> m_topPages;  // the page tree the drawings' own trees hang from
    std::vector<ObjectId> m_pages;       // every page, in order
    std::unique_ptr<PdfEncryption> m_encryption;
    std::map<ObjectId, FontOf> m_toUnicode; // each ToUnicode map: the font that has it
    std::set<ObjectId> m_skipped;
    std::map<int, std::pair<std::uint64_t, int>> m_newOffsets; // number: offset, generation
    ObjectId m_encryptId;
    std::map<std::string, std::string> m_information; // UTF-8
    int m_nextNumber = 1;
};

} // namespace

void finishPdf(const std::vector<const InputFile*>& drawings, OutputFile& target, const PdfFinish& finish,
               const CancelToken& cancel)
{
    Finisher(drawings, target, finish, cancel).run();
}

} // namespace zintrel
